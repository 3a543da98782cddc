// init, addLogNameNative, getAlarmsNative and the two count natives.
#include <jni.h>

#include <optional>
#include <string>
#include <vector>

#include "com_qel_nx_api_alarm_AlarmLogImpl.h"
#include "jni/batch.h"
#include "jni/convert.h"
#include "jni/events.h"
#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/locations.h"
#include "jni/java_text.h"
#include "jni/java_types.h"
#include "jni/library_state.h"
#include "jni/native_support.h"
#include "jni/packed_records.h"
#include "jni/scoped_jni.h"
#include "platform/management_platform.h"
#include "query/alarm_query.h"
#include "service/alarm_service.h"

using nxjni::Load;

namespace {

// Installed by init once the service exists; -1 (no object) otherwise.
int moid_of_name(const std::string& name) {
  const AlarmService* service = nxjni::service.load();
  return service ? service->get_moid(name) : -1;
}

// The callbacks live as long as the library, like the service.
Callback* g_creation = nullptr;
Callback* g_deletion = nullptr;
Callback* g_modification = nullptr;

}  // namespace

extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_init(JNIEnv* env, jobject, jstring unused,
                                                                              jobject log_name) {
  HviLock lock;
  nxjni::begin_database_call();
  if (!nxjni::init_done.load(std::memory_order_acquire)) {
    nxjni::set_moid_lookup(moid_of_name);
    nxjni::init_done.store(1, std::memory_order_release);
  }
  if (nxjni::service.load()) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_INIT_DONE);
    return;
  }
  // Checked before the service exists: a refused init leaves none behind.
  const nxjni::JavaIds& ids = nxjni::java_ids();
  if (!nxjni::is_java_type(env, unused, ids.string, "init's first argument", "a String") ||
      !nxjni::is_java_type(env, log_name, ids.log_name_class, "log name", "a LogName")) {
    return;
  }
  if (unused) {
    std::string ignored;
    if (!nxjni::java_text(env, unused, nxjni::kAnyText, ignored)) return;  // refused, or out of memory
  }
  auto* service = new (std::nothrow) AlarmService();
  if (!service) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_ALLOC_SERVICE);
    return;
  }
  nxjni::service.store(service, std::memory_order_release);

  std::string log;
  if (!nxjni::log_name_text(env, log_name, nxjni::java_ids().log_name_full, loc::kInitLogName, log)) return;
  if (!service->add_log(log)) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_NO_LOG);
    return;
  }
  g_creation = new Callback(alarmCreationCallback, new std::string("alarmCreationCallback"));
  g_deletion = new Callback(alarmDeletionCallback, new std::string("alarmDeletionCallback"));
  g_modification = new Callback(alarmModificationCallback, new std::string("alarmModificationCallback"));
  service->register_remove_logrecord_callback(g_deletion);
  service->register_add_logrecord_callback(g_creation);
  service->register_change_logrecord_callback(g_modification);
  service->register_resync_callback(new Callback(alarmResyncCallback, new std::string("alarmResyncCallback")));
  service->register_run_end_callback(new Callback(alarmRunEndCallback, new std::string("alarmRunEndCallback")));
}

extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_addLogNameNative(JNIEnv* env, jobject,
                                                                                          jobject log_name) {
  // The lock keeps the event thread from reading a half-changed log list.
  HviLock lock;
  AlarmService* service = nxjni::require_service(env);
  if (!service) return;
  std::string log;
  if (!nxjni::log_name_text(env, log_name, nxjni::java_ids().log_name_full, loc::kAddLogName, log)) return;
  if (!service->add_log(log)) nxjni::throw_alarm_exception(env, nxjni::MSG_NO_LOG);
}

extern "C" JNIEXPORT jobjectArray JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_getAlarmsNative(
    JNIEnv* env, jobject, jobject log_name, jobject query, jobject attr_set) {
  HviLock lock;
  Batch::reap();
  // A worker reads and packs the wanted fields of the records; the Java
  // side makes the records from them many at a time. Set up at the first
  // run, after the service and the arguments have been checked.
  std::optional<nxjni::PackedRecords> packed;
  bool record_failed = false;
  const auto take = [&](nxjni::PackedRun& run) {
    if (!packed) packed.emplace(env, log_name, attr_set);
    record_failed = !packed->ok() || !packed->add(run);
    return !record_failed;
  };
  if (nxjni::streamPackedAlarms(env, log_name, query, attr_set, nxjni::kNoBatches, {}, take) != Load::ok ||
      record_failed) {
    return nullptr;
  }
  if (packed) return packed->drain();  // null when the Java side failed

  const nxjni::JavaIds& a = nxjni::java_ids();
  jobjectArray empty = env->NewObjectArray(0, a.alarm_record, nullptr);
  if (!empty) {
    location_line(kApiSource, loc::kNoArray);
    checkForException(env);
  }
  return empty;
}

extern "C" JNIEXPORT jint JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_getAlarmCountNative(JNIEnv* env, jobject,
                                                                                             jobject log_name,
                                                                                             jobject jquery) {
  HviLock lock;
  Batch::reap();
  AlarmService* service = nxjni::require_service(env);
  if (!service) return 0;
  std::string log;
  if (!nxjni::log_name_text(env, log_name, nxjni::java_ids().log_name_full, loc::kCountLogName, log)) return 0;
  AlarmQuery query;
  switch (jobject2FilterList(env, jquery, query)) {
    case nxjni::Conv::raised:
      return 0;
    case nxjni::Conv::incomplete:
      return -1;  // the count of part of a query would be a wrong answer
    case nxjni::Conv::ok:
      break;
  }
  // No decision rests on the 8-bit filter count: 256 filters would count
  // as none. A query without filters gives the empty condition: every record.
  std::string condition;
  if (!query.create_sql_filter(condition)) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_LOAD_FAILED);
    return 0;
  }
  return service->get_alarm_record_count(log, query);
}

extern "C" JNIEXPORT jintArray JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_getAlarmCountBySeverityNative(
    JNIEnv* env, jobject, jobject log_name, jobjectArray mo_names, jobjectArray severities) {
  HviLock lock;
  Batch::reap();
  AlarmService* service = nxjni::require_service(env);
  if (!service) return nullptr;
  std::string log;
  if (!nxjni::log_name_text(env, log_name, nxjni::java_ids().log_name_full, loc::kSeverityLogName, log)) return nullptr;

  const nxjni::JavaIds& ids = nxjni::java_ids();
  if (!nxjni::is_java_type(env, mo_names, ids.object_array, "managed object name array", "an MOName[]") ||
      !nxjni::is_java_type(env, severities, ids.object_array, "severity array", "an NXSeverity[]")) {
    return nullptr;
  }
  std::list<std::string> moids;
  if (mo_names) {
    for (jsize i = 0; i < env->GetArrayLength(mo_names); ++i) {
      ScopedLocalRef<> mo(env, env->GetObjectArrayElement(mo_names, i));
      if (!mo) {
        location_line(kApiSource, loc::kSeverityNullMoName);
        checkForException(env);
        return nullptr;
      }
      if (jobject2MOName(env, mo.get(), moids) != nxjni::Conv::ok) return nullptr;
    }
  }
  const jsize n = severities ? env->GetArrayLength(severities) : 0;
  ScopedLocalRef<jintArray> result(env, env->NewIntArray(n));
  if (!result) {
    location_line(kApiSource, loc::kNoIntArray);
    checkForException(env);
    return nullptr;
  }
  std::vector<jint> counts(static_cast<std::size_t>(n));
  AlarmQuery query;
  query.set_logical_op(LOG_AND);
  for (jsize i = 0; i < n; ++i) {
    ScopedLocalRef<> severity(env, env->GetObjectArrayElement(severities, i));
    if (!severity) {
      location_line(kApiSource, loc::kNullSeverity);
      checkForException(env);
      return nullptr;
    }
    std::string text;
    jseverity2alarmSeverity(env, severity.get(), text);
    if (env->ExceptionCheck()) return nullptr;
    auto filter = std::make_unique<AlarmFilter>();
    filter->add_filter_criteria("perceivedSeverity", EQUAL, {text});
    filter->add_filter_criteria("moid", EQUAL, moids);
    query.add_filter(std::move(filter));
    counts[static_cast<std::size_t>(i)] = service->get_alarm_record_count(log, query);
    query.destroy_all_filter_criterias();
  }
  env->SetIntArrayRegion(result.get(), 0, n, counts.data());
  checkForException(env);
  return result.release();
}
