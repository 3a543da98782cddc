#include "jni/record_convert.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "jni/convert.h"
#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/java_strings.h"
#include "jni/jni_calls.h"
#include "jni/scoped_jni.h"
#include "platform/management_platform.h"

namespace {

enum { kNoRecord = 501, kNoSet = 502, kNoDate = 503, kNoRecordId = 504, kNoMoName = 505 };

void set_string(JNIEnv* env, jobject record, jfieldID field, const std::string& text, bool even_empty) {
  if (text.empty() && !even_empty) return;
  ScopedLocalRef<jstring> s(env, nxjni::new_java_string(env, text));
  if (s) env->SetObjectField(record, field, s.get());
}

void set_state(JNIEnv* env, const nxjni::RecordIds& r, jobject record, jfieldID field, const std::string& text,
               const char* set_value) {
  if (text == set_value) env->SetObjectField(record, field, r.boolean_true);
}

// always: the field is set to null when the text does not convert.
void set_date(JNIEnv* env, jobject record, jfieldID field, const std::string& text, bool always) {
  ScopedLocalRef<> date(env, alarmTimeToDate(env, text));
  if (date || always) env->SetObjectField(record, field, date.get());
}

void add_to_set(JNIEnv* env, const nxjni::RecordIds& r, jobject set, jobject constant) {
  if (set && constant && !nxjni::call_void(env, set, r.attribute_set_add, constant)) checkForException(env);
}

void set_record_id(JNIEnv* env, const nxjni::RecordIds& r, jobject record, const std::string& text, jobject set) {
  char flag = 0;
  std::string value;
  if (!parseChoice(text, flag, value)) {
    std::fprintf(pfd, "%s", nxjni::catalog_text(nxjni::MSG_PARSE_LOG));
    std::fputs(text.c_str(), pfd);
    std::fflush(pfd);
    return;
  }
  if (!flag) {
    std::fprintf(pfd, "%s", nxjni::catalog_text(nxjni::MSG_INVALID_RECORD_ID));
    std::fputs(text.c_str(), pfd);
    std::fflush(pfd);
    return;
  }
  ScopedLocalRef<> id(env, nxjni::new_object(env, r.alarm_record_id, r.record_id_ctor, static_cast<jint>(std::atoi(value.c_str()))));
  if (!id) {
    location_line(kConvertSource, kNoRecordId);
    checkForException(env);
    return;
  }
  env->SetObjectField(record, r.log_record_id, id.get());
  add_to_set(env, r, set, r.attr_log_record_id);
}

void set_severity(JNIEnv* env, const nxjni::RecordIds& r, jobject record, const std::string& text) {
  // Objects in creation order: critical, major, minor, warning, indeterminate.
  static const char* const kTexts[] = {"minor", "major", "critical", "warning", "indeterminate"};
  static const int kIndex[] = {2, 1, 0, 3, 4};
  for (int i = 0; i < 5; ++i) {
    if (text == kTexts[i]) {
      env->SetObjectField(record, r.perceived_severity, r.severities[kIndex[i]]);
      return;
    }
  }
}

jobject new_record(JNIEnv* env, const nxjni::RecordIds& r) {
  jobject record = r.alarm_record && r.record_ctor ? nxjni::new_object(env, r.alarm_record, r.record_ctor) : nullptr;
  if (!record) {
    location_line(kConvertSource, kNoRecord);
    checkForException(env);
  }
  return record;
}

}  // namespace

void buildNXAlarmTime(char* buffer) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char text[64];  // room for any int values; a valid time takes 14 digits
  std::snprintf(text, sizeof text, "%4d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  std::memcpy(buffer, text, 14);
  buffer[14] = '\0';
}

jobject alarmTimeToDate(JNIEnv* env, const std::string& text) {
  if (text == "NULL") return nullptr;
  const nxjni::RecordIds& r = nxjni::record_ids(env);
  const char* digits = text.c_str();
  if (const char* quote = std::strchr(digits, '"')) digits = quote + 1;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::sscanf(digits, "%4d%02d%02d%02d%02d%02d", &year, &month, &day, &hour, &minute, &second);
  jobject date = nxjni::new_object(env, r.date, r.date_ctor, year - 1900, month - 1, day, hour, minute, second);
  if (!date) {
    location_line(kConvertSource, kNoDate);
    checkForException(env);
  }
  return date;
}

void alarmSetValue(JNIEnv* env, jobject record, AlarmAttributeId id, std::string value, jobject set) {
  const nxjni::RecordIds& r = nxjni::record_ids(env);
  switch (id) {
    case ATTR_ACK_OPERATOR: set_string(env, record, r.ack_operator, value, false); add_to_set(env, r, set, r.attr_ack_operator); break;
    case ATTR_ACK_STATE: set_state(env, r, record, r.ack_state, value, "acked"); add_to_set(env, r, set, r.attr_ack_state); break;
    case ATTR_ACK_TEXT: set_string(env, record, r.ack_text, value, false); add_to_set(env, r, set, r.attr_ack_text); break;
    case ATTR_ACK_TIME: set_date(env, record, r.ack_time, value, true); add_to_set(env, r, set, r.attr_ack_time); break;
    case ATTR_ADDITIONAL_TEXT: set_string(env, record, r.additional_text, value, false); add_to_set(env, r, set, r.attr_additional_text); break;
    case ATTR_CLEAR_OPERATOR: set_string(env, record, r.clear_operator, value, false); add_to_set(env, r, set, r.attr_clear_operator); break;
    case ATTR_CLEAR_STATE: set_state(env, r, record, r.clear_state, value, "cleared"); add_to_set(env, r, set, r.attr_clear_state); break;
    case ATTR_CLEAR_TEXT: set_string(env, record, r.clear_text, value, false); add_to_set(env, r, set, r.attr_clear_text); break;
    case ATTR_CLEAR_TIME: set_date(env, record, r.clear_time, value, true); add_to_set(env, r, set, r.attr_clear_time); break;
    case ATTR_DISPLAY_OPERATOR: set_string(env, record, r.display_operator, value, false); add_to_set(env, r, set, r.attr_display_operator); break;
    case ATTR_DISPLAY_STATE: set_state(env, r, record, r.display_state, value, "displayed"); add_to_set(env, r, set, r.attr_display_state); break;
    case ATTR_DISPLAY_TEXT: set_string(env, record, r.display_text, value, false); add_to_set(env, r, set, r.attr_display_text); break;
    case ATTR_DISPLAY_TIME: set_date(env, record, r.display_time, value, false); add_to_set(env, r, set, r.attr_display_time); break;
    case ATTR_EVENT_TIME: set_date(env, record, r.event_time, value, true); break;
    case ATTR_EVENT_TYPE: set_string(env, record, r.event_type, value, true); break;
    case ATTR_LOGGING_TIME: set_date(env, record, r.logging_time, value, true); break;
    case ATTR_LOG_RECORD_ID: set_record_id(env, r, record, value, set); break;
    case ATTR_MANAGED_OBJECT_INSTANCE: {
      ScopedLocalRef<jstring> name(env, nxjni::new_java_string(env, value));
      ScopedLocalRef<> mo(env, name ? nxjni::new_object(env, r.mo_name, r.mo_name_ctor, 0, name.get()) : nullptr);
      if (mo) {
        env->SetObjectField(record, r.managed_object_instance, mo.get());
      } else {
        location_line(kConvertSource, kNoMoName);
      }
      break;
    }
    case ATTR_PERCEIVED_SEVERITY: set_severity(env, r, record, value); break;
    case ATTR_PROBABLE_CAUSE: set_string(env, record, r.probable_cause, value, false); break;
    default:
      std::fprintf(pfd, "%s", nxjni::catalog_text(nxjni::MSG_UNKNOWN_ATTRIBUTE));
      std::fflush(pfd);
      break;
  }
  checkForException(env);
}

namespace {
jobject build_record(JNIEnv* env, jobject log_name, const AlarmAttributeMap& attributes, const std::string* record_id,
                     const std::list<AlarmAttributeId>& wanted) {
  const nxjni::RecordIds& r = nxjni::record_ids(env);
  jobject record = new_record(env, r);
  if (!record) return nullptr;
  for (AlarmAttributeId id : wanted) {
    if (id == ATTR_LOG_NAME) {
      env->SetObjectField(record, r.log_name, log_name);
    } else if (id == ATTR_LOG_RECORD_ID && record_id) {
      alarmSetValue(env, record, id, *record_id, nullptr);
    } else {
      const auto it = attributes.find(AlarmAttribute(id));
      if (it != attributes.end()) alarmSetValue(env, record, id, it->second, nullptr);
    }
  }
  return record;
}
}  // namespace

jobject alarm2record(JNIEnv* env, jobject log_name, const AlarmAttributeMap& attributes,
                     const std::list<AlarmAttributeId>& wanted) {
  return build_record(env, log_name, attributes, nullptr, wanted);
}

jobject alarm2record(JNIEnv* env, jobject log_name, const AlarmAttributeMap& attributes,
                     const std::string& record_id, const std::list<AlarmAttributeId>& wanted) {
  return build_record(env, log_name, attributes, &record_id, wanted);
}

jobject alarm2recordEvent(JNIEnv* env, jobject log_name, const AlarmAttributeMap& attributes,
                          const std::list<AlarmAttributeId>& wanted) {
  const nxjni::RecordIds& r = nxjni::record_ids(env);
  jobject record = new_record(env, r);
  if (!record) return nullptr;
  ScopedLocalRef<> set(env, nxjni::new_object(env, r.attribute_set, r.attribute_set_ctor));
  if (!set) {
    location_line(kConvertSource, kNoSet);
    checkForException(env);
    env->DeleteLocalRef(record);
    return nullptr;
  }
  for (const auto& [attribute, text] : attributes) {
    const AlarmAttributeId id = attribute.get_attribute_nameid();
    for (AlarmAttributeId w : wanted) {
      if (w == id) {
        alarmSetValue(env, record, id, text, set.get());
        break;
      }
    }
  }
  env->SetObjectField(record, r.log_name, log_name);
  add_to_set(env, r, set.get(), r.attr_log_name);
  env->SetObjectField(record, r.attr_set, set.get());
  checkForException(env);
  return record;
}
