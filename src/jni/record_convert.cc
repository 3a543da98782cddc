#include "jni/record_convert.h"

#include <bitset>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "jni/convert.h"
#include "jni/java_fields.h"
#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/locations.h"
#include "jni/java_strings.h"
#include "jni/jni_calls.h"
#include "jni/scoped_jni.h"
#include "platform/management_platform.h"

namespace {

void set_string(JNIEnv* env, jobject record, jfieldID field, const std::string& text, bool even_empty) {
  if (text.empty() && !even_empty) return;
  ScopedLocalRef<jstring> s(env, nxjni::new_java_string(env, text));
  if (s) env->SetObjectField(record, field, s.get());
}

// always: the field is set to null when the text does not convert.
void set_date(JNIEnv* env, jobject record, jfieldID field, const std::string& text, bool always) {
  ScopedLocalRef<> date(env, alarmTimeToDate(env, text));
  if (date || always) env->SetObjectField(record, field, date.get());
}

void add_to_set(JNIEnv* env, const nxjni::JavaIds& r, jobject set, jobject constant) {
  if (set && constant && !nxjni::call_void(env, set, r.attribute_set_add, constant)) checkForException(env);
}

void set_record_id(JNIEnv* env, const nxjni::JavaIds& r, jobject record, const std::string& text, jobject set) {
  jint number = 0;
  if (!nxjni::record_id_number(text, number)) return;
  ScopedLocalRef<> id(env, nxjni::new_object(env, r.alarm_record_id, r.record_id_ctor, number));
  if (!id) {
    location_line(kConvertSource, loc::kNoRecordId);
    checkForException(env);
    return;
  }
  env->SetObjectField(record, r.log_record_id, id.get());
  add_to_set(env, r, set, r.attr_log_record_id);
}

jobject new_record(JNIEnv* env, const nxjni::JavaIds& r) {
  jobject record = r.alarm_record && r.record_ctor ? nxjni::new_object(env, r.alarm_record, r.record_ctor) : nullptr;
  if (!record) {
    location_line(kConvertSource, loc::kConvertNoRecord);
    checkForException(env);
  }
  return record;
}

}  // namespace

jobject alarmTimeToDate(JNIEnv* env, const std::string& text) {
  jint args[6];
  if (!nxjni::alarm_time_fields(text, args)) return nullptr;
  const nxjni::JavaIds& r = nxjni::java_ids();
  jobject date = nxjni::new_object(env, r.date, r.date_ctor, args[0], args[1], args[2], args[3], args[4], args[5]);
  if (!date) {
    location_line(kConvertSource, loc::kNoDate);
    checkForException(env);
  }
  return date;
}

void alarmSetValue(JNIEnv* env, jobject record, AlarmAttributeId id, std::string value, jobject set) {
  const nxjni::JavaIds& r = nxjni::java_ids();
  const nxjni::JavaField* f = nxjni::java_field(id);
  if (!f) {
    std::fprintf(pfd, "%s", nxjni::catalog_text(nxjni::MSG_UNKNOWN_ATTRIBUTE));
    std::fflush(pfd);
    checkForException(env);
    return;
  }
  const jfieldID field = r.*(f->field);
  switch (f->kind) {
    case nxjni::FieldKind::kText: set_string(env, record, field, value, false); break;
    case nxjni::FieldKind::kTextAlways: set_string(env, record, field, value, true); break;
    case nxjni::FieldKind::kState:
      if (value == f->state_text) env->SetObjectField(record, field, r.boolean_true);
      break;
    case nxjni::FieldKind::kDateAlways: set_date(env, record, field, value, true); break;
    case nxjni::FieldKind::kDateIfValid: set_date(env, record, field, value, false); break;
    case nxjni::FieldKind::kRecordId: set_record_id(env, r, record, value, set); break;
    case nxjni::FieldKind::kMoName: {
      ScopedLocalRef<jstring> name(env, nxjni::new_java_string(env, value));
      ScopedLocalRef<> mo(env, name ? nxjni::new_object(env, r.mo_name, r.mo_name_ctor, 0, name.get()) : nullptr);
      if (mo) {
        env->SetObjectField(record, field, mo.get());
      } else {
        location_line(kConvertSource, loc::kNoMoName);
      }
      break;
    }
    case nxjni::FieldKind::kSeverity: {
      const int index = nxjni::severity_index(value);
      if (index >= 0) env->SetObjectField(record, field, r.severities[index]);
      break;
    }
  }
  // The record identifier joins the set only when its field was set.
  if (f->kind != nxjni::FieldKind::kRecordId && f->set_member) add_to_set(env, r, set, r.*(f->set_member));
  checkForException(env);
}

namespace {
jobject build_record(JNIEnv* env, jobject log_name, const AlarmAttributeMap& attributes, const std::string* record_id,
                     const std::list<AlarmAttributeId>& wanted) {
  const nxjni::JavaIds& r = nxjni::java_ids();
  jobject record = new_record(env, r);
  if (!record) return nullptr;
  // One field per attribute however often it is listed, as the packer does.
  std::bitset<ALARM_ATTRIBUTE_ID_COUNT> done;
  for (AlarmAttributeId id : wanted) {
    const auto bit = static_cast<std::size_t>(id);
    if (bit < done.size()) {
      if (done[bit]) continue;
      done[bit] = true;
    }
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
  const nxjni::JavaIds& r = nxjni::java_ids();
  jobject record = new_record(env, r);
  if (!record) return nullptr;
  ScopedLocalRef<> set(env, nxjni::new_object(env, r.attribute_set, r.attribute_set_ctor));
  if (!set) {
    location_line(kConvertSource, loc::kNoSet);
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
