// The six state-change natives (acknowledge, clear, display and their
// reverses), clearAlarmsNative and deleteAlarmsNative.
#include <jni.h>
#include <pwd.h>
#include <unistd.h>

#include <string>

#include "com_qel_nx_api_alarm_AlarmLogImpl.h"
#include "jni/convert.h"
#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/jni_calls.h"
#include "jni/native_support.h"
#include "jni/record_convert.h"
#include "jni/scoped_jni.h"
#include "model/alarm_record.h"
#include "platform/management_platform.h"
#include "service/alarm_service.h"

namespace {

enum { kLogText = 130, kMisText = 131, kNullText = 132, kNullId = 133, kNullIdText = 134, kClearLog = 135, kDeleteLog = 136 };

enum Operation { ACK = 0, CLEAR = 1, DISPLAY = 2, UN_ACK = 3, UN_DISPLAY = 4, UN_CLEAR = 5 };

// The login name of the process's user.
std::string user_name() {
  struct passwd pw {};
  struct passwd* found = nullptr;
  char buffer[1024];
  if (getpwuid_r(geteuid(), &pw, buffer, sizeof buffer, &found) == 0 && found && found->pw_name) return found->pw_name;
  const char* login = getlogin();
  return login ? login : "";
}

// Enters the operation's attributes, in the order the MIS expects them.
void enter_attributes(AlarmRecord& record, Operation op, const std::string* text, const std::string& time,
                      const std::string& user) {
  switch (op) {
    case ACK:
      record.set_attribute(AlarmAttribute(ATTR_ACK_STATE), "acked");
      if (text) record.set_attribute(AlarmAttribute(ATTR_ACK_TEXT), *text);
      record.set_attribute(AlarmAttribute(ATTR_ACK_TIME), time);
      record.set_attribute(AlarmAttribute(ATTR_ACK_OPERATOR), user);
      break;
    case CLEAR:
      record.set_attribute(AlarmAttribute(ATTR_CLEAR_STATE), "cleared");
      if (text) record.set_attribute(AlarmAttribute(ATTR_CLEAR_TEXT), *text);
      record.set_attribute(AlarmAttribute(ATTR_CLEAR_TIME), time);
      record.set_attribute(AlarmAttribute(ATTR_CLEAR_OPERATOR), user);
      break;
    case DISPLAY:
      record.set_attribute(AlarmAttribute(ATTR_DISPLAY_STATE), "displayed");
      if (text) record.set_attribute(AlarmAttribute(ATTR_DISPLAY_TEXT), *text);
      record.set_attribute(AlarmAttribute(ATTR_DISPLAY_TIME), time);
      record.set_attribute(AlarmAttribute(ATTR_DISPLAY_OPERATOR), user);
      break;
    case UN_ACK:
      record.set_attribute(AlarmAttribute(ATTR_ACK_STATE), "unAcked");
      record.set_attribute(AlarmAttribute(ATTR_ACK_OPERATOR), "");
      record.set_attribute(AlarmAttribute(ATTR_ACK_TIME), "default : NULL");
      break;
    case UN_DISPLAY:
      record.set_attribute(AlarmAttribute(ATTR_DISPLAY_STATE), "unDisplayed");
      record.set_attribute(AlarmAttribute(ATTR_DISPLAY_OPERATOR), "");
      record.set_attribute(AlarmAttribute(ATTR_DISPLAY_TIME), "default : NULL");
      break;
    case UN_CLEAR:
      record.set_attribute(AlarmAttribute(ATTR_CLEAR_STATE), "unCleared");
      record.set_attribute(AlarmAttribute(ATTR_CLEAR_OPERATOR), "");
      record.set_attribute(AlarmAttribute(ATTR_CLEAR_TIME), "default : NULL");
      break;
  }
}

void store(JNIEnv* env, jobject log_name, jobjectArray ids, jobjectArray texts, Operation op) {
  HviLock lock;
  char now[15];
  buildNXAlarmTime(now);
  const std::string time = std::string("timeInfo: \"") + now + "\"";
  const std::string user = user_name();

  if (!nxjni::require_service(env)) return;
  if (!ids) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_NULL_IDS);
    return;
  }
  const nxjni::NativeIds& n = nxjni::native_ids();
  std::string log, mis;
  if (!nxjni::log_name_text(env, log_name, n.log_name_to_string, kLogText, log)) return;
  if (!nxjni::log_name_text(env, log_name, n.log_name_mis, kMisText, mis)) return;

  const jsize text_count = texts ? env->GetArrayLength(texts) : 0;
  bool failed = false;
  for (jsize i = 0; i < env->GetArrayLength(ids); ++i) {
    std::string text;
    const bool has_text = i < text_count;
    if (has_text) {
      ScopedLocalRef<jstring> jtext(env, static_cast<jstring>(env->GetObjectArrayElement(texts, i)));
      if (!jtext) {
        location_line(kApiSource, kNullText);
        checkForException(env);
        return;
      }
      if (!java_text(env, jtext.get(), text)) {
        location_line(kApiSource, kNullText);
        checkForException(env);
        return;
      }
    }
    ScopedLocalRef<> id(env, env->GetObjectArrayElement(ids, i));
    if (!id) {
      location_line(kApiSource, kNullId);
      checkForException(env);
      return;
    }
    ScopedLocalRef<jstring> id_text(env, static_cast<jstring>(nxjni::call_object(env, id.get(), n.record_id_to_string)));
    if (!id_text) {
      location_line(kApiSource, kNullIdText);
      checkForException(env);
      return;
    }
    std::string id_name;
    if (!java_text(env, id_text.get(), id_name)) {
      location_line(kApiSource, kNullIdText);
      checkForException(env);
      return;
    }
    AlarmRecord record(mis, log, id_name);
    enter_attributes(record, op, has_text ? &text : nullptr, time, user);
    if (!record.store()) failed = true;
  }
  if (failed) nxjni::throw_alarm_exception(env, nxjni::MSG_OPERATION_FAILED);
}

// Clear and delete: the record names of a log through the service.
template <typename Request>
void request_each(JNIEnv* env, jobject log_name, jobjectArray ids, int check, nxjni::Message failure, Request request) {
  HviLock lock;
  AlarmService* service = nxjni::require_service(env);
  if (!service) return;
  std::string log;
  if (!nxjni::log_name_text(env, log_name, nxjni::native_ids().log_name_full, check, log)) return;
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

NX_STATE_NATIVE(setAckAlarmsNative, ACK)
NX_STATE_NATIVE(setClearAlarmsNative, CLEAR)
NX_STATE_NATIVE(setDisplayAlarmsNative, DISPLAY)
NX_UNSTATE_NATIVE(setUnAckAlarmsNative, UN_ACK)
NX_UNSTATE_NATIVE(setUnClearAlarmsNative, UN_CLEAR)
NX_UNSTATE_NATIVE(setUnDisplayAlarmsNative, UN_DISPLAY)

extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_clearAlarmsNative(JNIEnv* env, jobject,
                                                                                           jobject log_name,
                                                                                           jobjectArray ids) {
  request_each(env, log_name, ids, kClearLog, nxjni::MSG_CLEAR_FAILED,
               [](AlarmService& s, const std::string& log, const std::list<std::string>& names) {
                 return s.send_clear(log, names);
               });
}

extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_deleteAlarmsNative(JNIEnv* env, jobject,
                                                                                            jobject log_name,
                                                                                            jobjectArray ids) {
  request_each(env, log_name, ids, kDeleteLog, nxjni::MSG_DELETE_FAILED,
               [](AlarmService& s, const std::string& log, const std::list<std::string>& names) {
                 return s.delete_alarm_records(log, names);
               });
}
