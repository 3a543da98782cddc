#include "jni/events.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "jni/convert.h"
#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/locations.h"
#include "jni/java_strings.h"
#include "jni/jni_calls.h"
#include "jni/library_state.h"
#include "jni/record_convert.h"
#include "jni/scoped_jni.h"
#include "model/alarm_record.h"
#include "model/object_name.h"
#include "platform/management_platform.h"

namespace {

// Enough for one record's fields, its strings and dates, and the event.
constexpr jint kFrameCapacity = 64;

std::mutex& attribute_guard() {
  static auto* m = new std::mutex;
  return *m;
}
std::list<AlarmAttributeId> g_event_ids;
jobject g_event_set = nullptr;  // global reference

JNIEnv* attach() {
  JNIEnv* env = nullptr;
  // As a daemon: the VM must not wait for the platform's event thread
  // when the program's main thread ends.
  if (vmBuf->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), &vmArgs) < 0 || !env) {
    std::fprintf(pfd, "%s", nxjni::catalog_text(nxjni::MSG_ATTACH_THREAD));
    std::fflush(pfd);
    std::exit(-1);
  }
  return env;
}

void deliver(jfieldID kind_field, void* arg) {
  if (!arg || !vmBuf) return;
  JNIEnv* env = attach();
  const nxjni::JavaIds& n = nxjni::java_ids();
  const jint kind = env->GetStaticIntField(n.alarm_log_event, kind_field);
  nxjni::sendEvent(env, kind, *static_cast<const AlarmRecord*>(arg));
}

}  // namespace

void alarmCreationCallback(void*, void* arg) { deliver(nxjni::java_ids().event_object_created, arg); }
void alarmDeletionCallback(void*, void* arg) { deliver(nxjni::java_ids().event_object_deleted, arg); }
void alarmModificationCallback(void*, void* arg) { deliver(nxjni::java_ids().event_attr_value_changed, arg); }

namespace nxjni {

void set_event_attributes(JNIEnv* env, std::list<AlarmAttributeId> ids, jobject set) {
  jobject global = set ? env->NewGlobalRef(set) : nullptr;
  jobject previous;
  {
    std::lock_guard<std::mutex> lock(attribute_guard());
    g_event_ids = std::move(ids);
    previous = g_event_set;
    g_event_set = global;
  }
  if (previous) env->DeleteGlobalRef(previous);
}

void sendEvent(JNIEnv* env, int kind, const AlarmRecord& record) {
  AlarmAttributeMap attributes = record.get_attribute_list();
  attributes.emplace(AlarmAttribute(ATTR_LOG_RECORD_ID), record.get_record_id());
  const std::string mis = record.get_mis_name();
  const std::string log = record.get_log_name();

  // The log identifier as a value: a string's quotes may hold '/' or doubled quotes.
  const std::optional<NameValue> log_value = NameValue::parse(log);
  const bool number = log_value && log_value->form() == NameValue::Form::kNumber;
  if (!log_value || (!number && log_value->form() != NameValue::Form::kString)) {
    std::printf("Received an event but can not parse log:%s\n", log.c_str());
    std::fflush(stdout);
    return;
  }
  const std::string& log_id = log_value->text();
  // A numbered log's id must fit the Java int: never wrap into another log.
  const long long log_number = number ? std::strtoll(log_id.c_str(), nullptr, 10) : 0;
  if (log_number < INT_MIN || log_number > INT_MAX) {
    std::printf("Received an event but can not parse log:%s\n", log.c_str());
    std::fflush(stdout);
    return;
  }

  std::list<AlarmAttributeId> ids;
  ScopedLocalFrame frame(env, kFrameCapacity);
  if (!frame.ok()) {
    location_line(kApiSource, loc::kNoFrame);
    checkForException(env);
    return;
  }
  jobject set = nullptr;
  {
    std::lock_guard<std::mutex> lock(attribute_guard());
    ids = g_event_ids;
    if (g_event_set) set = env->NewLocalRef(g_event_set);
  }
  if (ids.empty()) return;

  const JavaIds& n = java_ids();
  jstring jmis = new_java_string(env, mis);
  if (!jmis) {
    location_line(kApiSource, loc::kNoMisName);
    checkForException(env);
    return;
  }
  jobject log_name;
  if (number) {
    log_name = new_object(env, n.log_name_class, n.log_name_ctor_int, jmis, static_cast<jint>(log_number));
  } else {
    jstring jid = new_java_string(env, log_id);
    if (!jid) {
      location_line(kApiSource, loc::kNoLogId);
      checkForException(env);
      return;
    }
    log_name = new_object(env, n.log_name_class, n.log_name_ctor_string, jmis, jid);
  }
  if (!log_name) {
    location_line(kApiSource, loc::kNoLogName);
    checkForException(env);
    return;
  }

  jobject jrecord;
  if (kind == 1) {
    jrecord = alarm2record(env, log_name, attributes, ids);
    if (jrecord) env->SetObjectField(jrecord, n.attr_set, set);
  } else {
    jrecord = alarm2recordEvent(env, log_name, attributes, ids);
  }
  if (!jrecord) {
    location_line(kApiSource, loc::kEventNoRecord);
    checkForException(env);
    return;
  }
  jobject event = new_object(env, n.alarm_log_event, n.event_ctor, static_cast<jint>(kind), jrecord);
  if (!event) {
    location_line(kApiSource, loc::kNoEvent);
    checkForException(env);
    return;
  }
  env->CallStaticBooleanMethod(n.event_handler, n.send_event, n.alarm_event_id, event);
  // The handler's own exceptions are not the caller's: clear them here so
  // the next event starts clean.
  checkForException(env);
}

}  // namespace nxjni
