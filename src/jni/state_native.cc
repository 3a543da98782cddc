// The six state-change natives (acknowledge, clear, display and their
// reverses), clearAlarmsNative and deleteAlarmsNative: each converts its
// Java arguments and hands the write to the alarm service.
#include <jni.h>

#include <string>
#include <vector>

#include "com_qel_nx_api_alarm_AlarmLogImpl.h"
#include "jni/convert.h"
#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/locations.h"
#include "jni/java_text.h"
#include "jni/java_types.h"
#include "jni/jni_calls.h"
#include "jni/native_support.h"
#include "jni/scoped_jni.h"
#include "platform/management_platform.h"
#include "service/alarm_service.h"
#include "service/state_changes.h"

namespace {

// The record ids and texts of a call, all converted before anything is
// written: a call that cannot be read whole changes nothing.
void store(JNIEnv* env, jobject log_name, jobjectArray ids, jobjectArray texts, StateChange change) {
  HviLock lock;
  AlarmService* service = nxjni::require_service(env);
  if (!service) return;
  if (!ids) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_NULL_IDS);
    return;
  }
  const nxjni::JavaIds& n = nxjni::java_ids();
  std::string log, mis;
  if (!nxjni::log_name_text(env, log_name, n.log_name_to_string, loc::kLogText, log)) return;
  if (!nxjni::log_name_text(env, log_name, n.log_name_mis, loc::kMisText, mis)) return;
  // Every element is checked before any record is touched.
  if (!nxjni::is_java_type(env, ids, n.object_array, "record id array", "an AlarmRecordId[]") ||
      !nxjni::is_java_type(env, texts, n.object_array, "text array", "a String[]") ||
      !nxjni::are_java_types(env, ids, n.alarm_record_id, "record id", "an AlarmRecordId") ||
      !nxjni::are_java_types(env, texts, n.string, "text", "a String")) {
    return;
  }

  const jsize text_count = texts ? env->GetArrayLength(texts) : 0;
  const jsize id_count = env->GetArrayLength(ids);
  std::vector<std::string> id_names;
  std::vector<std::string> record_texts;
  id_names.reserve(id_count);
  for (jsize i = 0; i < id_count; ++i) {
    std::string text;
    const bool has_text = i < text_count;
    if (has_text) {
      ScopedLocalRef<jstring> jtext(env, static_cast<jstring>(env->GetObjectArrayElement(texts, i)));
      if (!jtext) {
        location_line(kApiSource, loc::kNullText);
        checkForException(env);
        return;
      }
      // A refused text leaves its AlarmInputException for the caller.
      if (!nxjni::java_text(env, jtext.get(), nxjni::kOperatorText, text)) return;
      record_texts.push_back(std::move(text));
    }
    ScopedLocalRef<> id(env, env->GetObjectArrayElement(ids, i));
    if (!id) {
      location_line(kApiSource, loc::kStateNullId);
      checkForException(env);
      return;
    }
    ScopedLocalRef<jstring> id_text(env, static_cast<jstring>(nxjni::call_object(env, id.get(), n.record_id_to_string)));
    if (!id_text) {
      location_line(kApiSource, loc::kNullIdText);
      checkForException(env);
      return;
    }
    std::string id_name;
    if (!nxjni::java_text(env, id_text.get(), nxjni::kRecordIdText, id_name)) return;
    id_names.push_back(std::move(id_name));
  }
  // Unknown records are tried with the rest and reported once, at the end.
  if (!service->change_state(change, mis, log, id_names, record_texts).empty()) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_OPERATION_FAILED);
  }
}

// Clear and delete: the record names of a log through the service.
template <typename Request>
void request_each(JNIEnv* env, jobject log_name, jobjectArray ids, int check, nxjni::Message failure, Request request) {
  HviLock lock;
  AlarmService* service = nxjni::require_service(env);
  if (!service) return;
  std::string log;
  if (!nxjni::log_name_text(env, log_name, nxjni::java_ids().log_name_full, check, log)) return;
  std::list<std::string> names;
  const nxjni::Conv c = ids ? jobject2AlarmRcdId(env, ids, names) : nxjni::Conv::ok;
  if (c == nxjni::Conv::raised || checkForException(env)) return;
  if (c == nxjni::Conv::incomplete) return;
  if (!request(*service, log, names)) {
    // Returned at once: a checkForException now would describe and clear it.
    nxjni::throw_alarm_exception(env, failure);
    return;
  }
  checkForException(env);
}

}  // namespace

#define NX_STATE_NATIVE(name, op)                                                                               \
  extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_##name(                             \
      JNIEnv* env, jobject, jobject log_name, jobjectArray ids, jobjectArray texts) {                           \
    store(env, log_name, ids, texts, op);                                                                       \
  }
#define NX_UNSTATE_NATIVE(name, op)                                                                             \
  extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_##name(JNIEnv* env, jobject,          \
                                                                                  jobject log_name, jobjectArray ids) { \
    store(env, log_name, ids, nullptr, op);                                                                     \
  }

NX_STATE_NATIVE(setAckAlarmsNative, StateChange::ack)
NX_STATE_NATIVE(setClearAlarmsNative, StateChange::clear)
NX_STATE_NATIVE(setDisplayAlarmsNative, StateChange::display)
NX_UNSTATE_NATIVE(setUnAckAlarmsNative, StateChange::unack)
NX_UNSTATE_NATIVE(setUnClearAlarmsNative, StateChange::unclear)
NX_UNSTATE_NATIVE(setUnDisplayAlarmsNative, StateChange::undisplay)

extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_clearAlarmsNative(JNIEnv* env, jobject,
                                                                                           jobject log_name,
                                                                                           jobjectArray ids) {
  request_each(env, log_name, ids, loc::kClearLog, nxjni::MSG_CLEAR_FAILED,
               [](AlarmService& s, const std::string& log, const std::list<std::string>& names) {
                 return s.send_clear(log, names);
               });
}

extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_deleteAlarmsNative(JNIEnv* env, jobject,
                                                                                            jobject log_name,
                                                                                            jobjectArray ids) {
  request_each(env, log_name, ids, loc::kDeleteLog, nxjni::MSG_DELETE_FAILED,
               [](AlarmService& s, const std::string& log, const std::list<std::string>& names) {
                 return s.delete_alarm_records(log, names);
               });
}
