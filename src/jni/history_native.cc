// getAlarmHistoryNative, getLogHistoryNative and purgeAlarmsNative: the
// record history the MIS keeps, and deleting what a query selects.
#include <jni.h>

#include <ctime>
#include <string>
#include <vector>

#include "com_qel_nx_api_alarm_AlarmLogImpl.h"
#include "jni/convert.h"
#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/java_strings.h"
#include "jni/java_text.h"
#include "jni/java_types.h"
#include "jni/jni_calls.h"
#include "jni/library_state.h"
#include "jni/locations.h"
#include "jni/messages.h"
#include "jni/native_support.h"
#include "jni/scoped_jni.h"
#include "platform/management_platform.h"
#include "query/alarm_query.h"
#include "service/alarm_history.h"

namespace {

// The log's full name; false (an exception pending) when the log is null or
// cannot be read.
bool history_log(JNIEnv* env, jobject log_name, int check, std::string& log) {
  if (!log_name) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_NULL_LOG);
    return false;
  }
  if (!nxjni::log_name_text(env, log_name, nxjni::java_ids().log_name_full, check, log)) {
    if (!env->ExceptionCheck()) nxjni::throw_alarm_exception(env, nxjni::MSG_PARSE_LOG);
    return false;
  }
  return true;
}

// A record id for Java; null for 0 (none). False when it cannot be made.
bool record_id(JNIEnv* env, long id, ScopedLocalRef<>& out) {
  if (id <= 0) return true;
  const nxjni::JavaIds& n = nxjni::java_ids();
  out.reset(nxjni::new_object(env, n.alarm_record_id, n.record_id_ctor, static_cast<jint>(id)));
  return static_cast<bool>(out);
}

// A Date of 14 local-time digits, as the records' dates are made.
jobject date_of(JNIEnv* env, const std::string& digits) {
  if (digits.size() != 14 || digits.find_first_not_of("0123456789") != std::string::npos) return nullptr;
  auto part = [&](std::size_t at, std::size_t n) { return std::stoi(digits.substr(at, n)); };
  const nxjni::JavaIds& n = nxjni::java_ids();
  return nxjni::new_object(env, n.date, n.date_ctor, part(0, 4) - 1900, part(4, 2) - 1, part(6, 2),
                           part(8, 2), part(10, 2), part(12, 2));
}

jstring text_or_null(JNIEnv* env, const std::string& text, bool present, bool& failed) {
  // Nothing more once a string failed: its exception is pending.
  if (!present || failed) return nullptr;
  jstring s = nxjni::new_java_string(env, text);
  if (!s) failed = true;
  return s;
}

jobjectArray to_java(JNIEnv* env, const std::vector<StateChangeEntry>& entries) {
  const nxjni::JavaIds& n = nxjni::java_ids();
  if (!n.state_change || !n.state_change_ctor) {
    location_line(kApiSource, loc::kNoHistory);
    nxjni::throw_alarm_exception(env, nxjni::catalog_format(nxjni::MSG_HISTORY_FAILED,
                                                            "AlarmStateChange cannot be loaded").c_str());
    return nullptr;
  }
  ScopedLocalRef<jobjectArray> array(
      env, env->NewObjectArray(static_cast<jsize>(entries.size()), n.state_change, nullptr));
  if (!array) {
    location_line(kApiSource, loc::kNoHistory);
    checkForException(env);
    return nullptr;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const StateChangeEntry& e = entries[i];
    ScopedLocalFrame frame(env, 16);
    bool failed = false;
    ScopedLocalRef<> id(env, nullptr), by(env, nullptr);
    ScopedLocalRef<jstring> kind(env, text_or_null(env, e.kind, true, failed));
    ScopedLocalRef<jstring> before(env, text_or_null(env, e.state_before, !e.state_before.empty(), failed));
    ScopedLocalRef<jstring> after(env, text_or_null(env, e.state_after, !e.state_after.empty(), failed));
    ScopedLocalRef<jstring> op(env, text_or_null(env, e.op, true, failed));
    ScopedLocalRef<jstring> text(env, text_or_null(env, e.text, e.has_text, failed));
    ScopedLocalRef<jstring> origin(env, text_or_null(env, e.origin, true, failed));
    ScopedLocalRef<> time(env, failed ? nullptr : date_of(env, e.time));
    if (failed || !time || !record_id(env, e.record_id, id) || !id || !record_id(env, e.by_record, by)) {
      location_line(kApiSource, loc::kNoHistory);
      checkForException(env);
      return nullptr;
    }
    ScopedLocalRef<> entry(env, nxjni::new_object(env, n.state_change, n.state_change_ctor, id.get(), kind.get(),
                                                  before.get(), after.get(), op.get(), time.get(), text.get(),
                                                  origin.get(), by.get()));
    if (!entry) {
      location_line(kApiSource, loc::kNoHistory);
      checkForException(env);
      return nullptr;
    }
    env->SetObjectArrayElement(array.get(), static_cast<jsize>(i), entry.get());
  }
  return array.release();
}

void throw_with_reason(JNIEnv* env, nxjni::Message m, const std::string& reason) {
  nxjni::throw_alarm_exception(env, nxjni::catalog_format(m, reason.c_str()).c_str());
}

}  // namespace

extern "C" JNIEXPORT jobjectArray JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_getAlarmHistoryNative(
    JNIEnv* env, jobject, jobject log_name, jobject id) {
  HviLock lock;
  nxjni::begin_database_call();
  if (!nxjni::require_service(env)) return nullptr;
  const nxjni::JavaIds& n = nxjni::java_ids();
  if (!nxjni::is_java_type(env, id, n.alarm_record_id, "record id", "an AlarmRecordId")) return nullptr;
  std::string log;
  if (!history_log(env, log_name, loc::kHistoryLogName, log)) return nullptr;
  if (!id) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_INVALID_RECORD_ID);
    return nullptr;
  }
  ScopedLocalRef<jstring> id_text(env, static_cast<jstring>(nxjni::call_object(env, id, n.record_id_to_string)));
  std::string text;
  if (!id_text) {
    location_line(kApiSource, loc::kHistoryIdText);
    checkForException(env);
    return nullptr;
  }
  if (!nxjni::java_text(env, id_text.get(), nxjni::kRecordIdText, text)) return nullptr;
  std::vector<StateChangeEntry> entries;
  std::string error;
  // A negative or zero id names no record: an empty history, as any unknown one.
  if (!alarm_history(log, history_record_id(text), entries, error)) {
    throw_with_reason(env, nxjni::MSG_HISTORY_FAILED, error);
    return nullptr;
  }
  return to_java(env, entries);
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_getLogHistoryNative(
    JNIEnv* env, jobject, jobject log_name, jobject since, jint limit) {
  HviLock lock;
  nxjni::begin_database_call();
  if (!nxjni::require_service(env)) return nullptr;
  const nxjni::JavaIds& n = nxjni::java_ids();
  if (!nxjni::is_java_type(env, since, n.date, "since", "a Date")) return nullptr;
  std::string log;
  if (!history_log(env, log_name, loc::kHistoryLogName, log)) return nullptr;
  if (limit <= 0) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_HISTORY_LIMIT);
    return nullptr;
  }
  std::string from;
  if (since) {
    if (!n.date_get_time) {
      location_line(kApiSource, loc::kNoHistory);
      nxjni::throw_alarm_exception(env, nxjni::catalog_format(nxjni::MSG_WRONG_TYPE_NO_CLASS, "since", "a Date").c_str());
      return nullptr;
    }
    const jlong millis = env->CallLongMethod(since, n.date_get_time);
    if (checkForException(env)) return nullptr;
    // Whole seconds, rounded down: an entry of the given second is included.
    std::time_t seconds = static_cast<std::time_t>(millis / 1000 - (millis % 1000 < 0 ? 1 : 0));
    std::tm tm{};
    localtime_r(&seconds, &tm);
    char digits[32];
    std::strftime(digits, sizeof digits, "%Y%m%d%H%M%S", &tm);
    from = digits;
  }
  std::vector<StateChangeEntry> entries;
  std::string error;
  if (!log_history(log, from, limit, entries, error)) {
    throw_with_reason(env, nxjni::MSG_HISTORY_FAILED, error);
    return nullptr;
  }
  return to_java(env, entries);
}

extern "C" JNIEXPORT jint JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_purgeAlarmsNative(JNIEnv* env, jobject,
                                                                                           jobject log_name,
                                                                                           jobject jquery) {
  HviLock lock;
  nxjni::begin_database_call();
  if (!nxjni::require_service(env)) return 0;
  std::string log;
  if (!history_log(env, log_name, loc::kPurgeLogName, log)) return 0;
  if (!jquery) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_PURGE_NO_SELECTION);
    return 0;
  }
  AlarmQuery query;
  switch (jobject2FilterList(env, jquery, query)) {
    case nxjni::Conv::raised:
      return 0;
    case nxjni::Conv::incomplete:
      // Part of a selection would delete more than was asked for.
      if (!env->ExceptionCheck()) nxjni::throw_alarm_exception(env, nxjni::MSG_QUERY_NULL);
      return 0;
    case nxjni::Conv::ok:
      break;
  }
  long deleted = 0;
  std::string error;
  switch (purge_alarms(log, query, deleted, error)) {
    case PurgeOutcome::kDone:
      return static_cast<jint>(deleted);
    case PurgeOutcome::kNoSelection:
      nxjni::throw_alarm_exception(env, nxjni::MSG_PURGE_NO_SELECTION);
      return 0;
    case PurgeOutcome::kBadQuery:
      nxjni::throw_alarm_exception(env, nxjni::MSG_QUERY_NO_SQL);
      return 0;
    case PurgeOutcome::kFailed:
      throw_with_reason(env, nxjni::MSG_PURGE_FAILED, error);
      return 0;
  }
  return 0;
}
