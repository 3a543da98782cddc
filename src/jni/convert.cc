#include "jni/convert.h"

#include <algorithm>
#include <cstdio>

#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/locations.h"
#include "jni/java_text.h"
#include "jni/java_types.h"
#include "jni/jni_calls.h"
#include "jni/scoped_jni.h"

using nxjni::Conv;

namespace {

nxjni::MoidLookup g_moid_lookup = nullptr;

Conv incomplete(JNIEnv* env, int check) {
  location_line(kConvertSource, check);
  checkForException(env);
  return Conv::incomplete;
}

// Calls an int-returning method; an exception thrown by Java counts as incomplete.
bool call_int(JNIEnv* env, jobject obj, jmethodID m, jint& out) {
  out = env->CallIntMethod(obj, m);
  return !env->ExceptionCheck();
}


// Raises when obj (not null) is no instance of cls; see is_java_type.
bool wrong_type(JNIEnv* env, jobject obj, jclass cls, const char* what, const char* expected) {
  return !nxjni::is_java_type(env, obj, cls, what, expected);
}

Conv convert_item(JNIEnv* env, const nxjni::JavaIds& f, jobject item, AlarmFilter& filter) {
  ScopedLocalRef<> relation(env, nxjni::call_object(env, item, f.item_relation));
  if (!relation) return incomplete(env, loc::kNullRelation);
  if (wrong_type(env, relation.get(), f.relation_criteria, "filter item relation", "a RelationCriteria")) {
    return Conv::raised;
  }
  jint relation_code = 0;
  if (!call_int(env, relation.get(), f.relation_int_value, relation_code)) return incomplete(env, loc::kNullRelation);

  ScopedLocalRef<> attr(env, nxjni::call_object(env, item, f.item_attr_name));
  if (!attr) return incomplete(env, loc::kNullAttrName);
  if (wrong_type(env, attr.get(), f.record_attribute, "filter item attribute", "an AlarmRecordAttribute")) {
    return Conv::raised;
  }
  ScopedLocalRef<jstring> attr_text(env, static_cast<jstring>(nxjni::call_object(env, attr.get(), f.attribute_to_string)));
  if (!attr_text) return incomplete(env, loc::kNullAttrText);
  if (wrong_type(env, attr_text.get(), f.string, "filter item attribute name", "a String")) return Conv::raised;
  std::string name;
  if (!nxjni::java_text(env, attr_text.get(), nxjni::kAttributeName, name)) return Conv::raised;

  ScopedLocalRef<jobjectArray> values(env, static_cast<jobjectArray>(nxjni::call_object(env, item, f.item_attr_value)));
  if (!values) return incomplete(env, loc::kNullValues);
  if (wrong_type(env, values.get(), f.object_array, "filter item values", "an Object[]")) return Conv::raised;

  std::list<std::string> texts;
  std::string severity_text;
  const bool moid = name == "managedObjectInstance" || name == "moid";
  const bool severity = name == "perceivedSeverity";
  // Each value is checked against the one class its attribute takes: an
  // object of another class would be read as if it were one.
  const std::string value_what = "filter value for " + name;
  for (jsize i = 0; i < env->GetArrayLength(values.get()); ++i) {
    ScopedLocalRef<> value(env, env->GetObjectArrayElement(values.get(), i));
    if (!value) return incomplete(env, loc::kNullValue);
    if (moid) {
      if (wrong_type(env, value.get(), nxjni::java_ids().mo_name, value_what.c_str(), "an MOName")) {
        return Conv::raised;
      }
      name = "moid";
      const Conv c = jobject2MOName(env, value.get(), texts);
      if (c != Conv::ok) return c;
    } else if (severity) {
      if (wrong_type(env, value.get(), nxjni::java_ids().severity, value_what.c_str(), "an NXSeverity")) {
        return Conv::raised;
      }
      jseverity2alarmSeverity(env, value.get(), severity_text);
      if (env->ExceptionCheck()) return Conv::raised;
      texts.push_back(severity_text);
    } else {
      // Only strings carry text; anything else would be guessed at.
      if (wrong_type(env, value.get(), f.string, value_what.c_str(), "a String")) return Conv::raised;
      std::string text;
      if (!nxjni::filter_value_text(env, name, static_cast<jstring>(value.get()), text)) return Conv::raised;
      texts.push_back(std::move(text));
    }
  }
  if (!filter.add_filter_criteria(name, static_cast<RelationOpCriteria>(relation_code + 1), texts)) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_ALLOC_FILTER);
    return Conv::raised;
  }
  return Conv::ok;
}

}  // namespace

namespace nxjni {
void set_moid_lookup(MoidLookup lookup) { g_moid_lookup = lookup; }
}  // namespace nxjni

Conv jobject2FilterList(JNIEnv* env, jobject query, AlarmQuery& out) {
  const nxjni::JavaIds& f = nxjni::java_ids();
  // A null query is the documented way to ask for every record.
  if (!query) {
    location_line(kConvertSource, loc::kNullQuery);
    return Conv::ok;
  }
  if (wrong_type(env, query, f.generic_query, "query", "a GenericQuery")) return Conv::raised;
  ScopedLocalRef<> op(env, nxjni::call_object(env, query, f.query_logical));
  if (!op) return incomplete(env, loc::kNullQueryOp);
  if (wrong_type(env, op.get(), f.logical_criteria, "query operator", "a LogicalCriteria")) return Conv::raised;
  jint op_code = 0;
  if (!call_int(env, op.get(), f.logical_int_value, op_code)) return incomplete(env, loc::kNullQueryOp);
  out.set_logical_op(static_cast<LogicalOpCriteria>(op_code + 1));

  ScopedLocalRef<> filters(env, nxjni::call_object(env, query, f.query_elements));
  if (!filters) return incomplete(env, loc::kNullQueryElements);
  if (wrong_type(env, filters.get(), f.enumeration, "query elements", "an Enumeration")) return Conv::raised;
  while (nxjni::call_boolean(env, filters.get(), f.has_more_elements)) {
    ScopedLocalRef<> jfilter(env, nxjni::call_object(env, filters.get(), f.next_element));
    if (!jfilter) return incomplete(env, loc::kNullFilter);
    if (wrong_type(env, jfilter.get(), f.filter, "query element", "a Filter")) return Conv::raised;
    ScopedLocalRef<> fop(env, nxjni::call_object(env, jfilter.get(), f.filter_logical));
    if (!fop) return incomplete(env, loc::kNullFilterOp);
    if (wrong_type(env, fop.get(), f.logical_criteria, "filter operator", "a LogicalCriteria")) return Conv::raised;
    jint fop_code = 0;
    if (!call_int(env, fop.get(), f.logical_int_value, fop_code)) return incomplete(env, loc::kNullFilterOp);

    auto filter = std::make_unique<AlarmFilter>();
    filter->set_logical_op(static_cast<LogicalOpCriteria>(fop_code + 1));
    ScopedLocalRef<> items(env, nxjni::call_object(env, jfilter.get(), f.filter_elements));
    if (!items) return incomplete(env, loc::kNullFilterElements);
    if (wrong_type(env, items.get(), f.enumeration, "filter elements", "an Enumeration")) return Conv::raised;
    while (nxjni::call_boolean(env, items.get(), f.has_more_elements)) {
      ScopedLocalRef<> item(env, nxjni::call_object(env, items.get(), f.next_element));
      if (!item) return incomplete(env, loc::kNullItem);
      if (wrong_type(env, item.get(), f.filter_item, "filter element", "a FilterItem")) return Conv::raised;
      const Conv c = convert_item(env, f, item.get(), *filter);
      if (c != Conv::ok) return c;
    }
    if (env->ExceptionCheck()) return incomplete(env, loc::kNullFilterElements);
    out.add_filter(std::move(filter));
  }
  if (env->ExceptionCheck()) return incomplete(env, loc::kNullQueryElements);
  return Conv::ok;
}

int id2AttributeId(JNIEnv* env, int code) {
  static constexpr int kTable[] = {
      ATTR_ACK_OPERATOR,     ATTR_ACK_STATE,     ATTR_ACK_TEXT,         ATTR_ACK_TIME,
      ATTR_CLEAR_OPERATOR,   ATTR_CLEAR_STATE,   ATTR_CLEAR_TEXT,       ATTR_CLEAR_TIME,
      ATTR_DISPLAY_OPERATOR, ATTR_DISPLAY_STATE, ATTR_DISPLAY_TEXT,     ATTR_DISPLAY_TIME,
      ATTR_EVENT_TIME,       ATTR_EVENT_TYPE,    ATTR_LOGGING_TIME,     ATTR_LOG_RECORD_ID,
      ATTR_MANAGED_OBJECT_INSTANCE, ATTR_PERCEIVED_SEVERITY, ATTR_PROBABLE_CAUSE,
      ATTR_ADDITIONAL_TEXT,  ATTR_LOG_NAME,
  };
  if (static_cast<unsigned>(code) < sizeof(kTable) / sizeof(kTable[0])) return kTable[code];
  nxjni::throw_alarm_exception(env, nxjni::MSG_ID2ATTRIBUTE);
  return ATTR_NONE;
}

Conv jobject2AttrSet(JNIEnv* env, jobject set, std::list<AlarmAttributeId>& out) {
  const nxjni::JavaIds& a = nxjni::java_ids();
  if (!set) return incomplete(env, loc::kNullSet);
  if (wrong_type(env, set, a.attribute_set, "attribute set", "an AlarmRecordAttributeSet")) return Conv::raised;
  ScopedLocalRef<> elements(env, nxjni::call_object(env, set, a.attribute_set_elements));
  if (!elements) return incomplete(env, loc::kNullSetElements);
  if (wrong_type(env, elements.get(), a.enumeration, "attribute set elements", "an Enumeration")) return Conv::raised;
  while (nxjni::call_boolean(env, elements.get(), a.has_more_elements)) {
    ScopedLocalRef<> attr(env, nxjni::call_object(env, elements.get(), a.next_element));
    if (!attr) return incomplete(env, loc::kNullSetElement);
    if (wrong_type(env, attr.get(), a.record_attribute, "attribute set element", "an AlarmRecordAttribute")) {
      return Conv::raised;
    }
    jint code = 0;
    if (!call_int(env, attr.get(), a.attribute_int_value, code)) return incomplete(env, loc::kNullSetElement);
    const int id = id2AttributeId(env, code);
    if (env->ExceptionCheck()) return Conv::raised;
    // Wanted attributes are a set: each is read and copied once per record
    // however often it is listed, in the order first listed.
    const auto attribute = static_cast<AlarmAttributeId>(id);
    if (std::find(out.begin(), out.end(), attribute) == out.end()) out.push_back(attribute);
  }
  if (env->ExceptionCheck()) return incomplete(env, loc::kNullSetElements);
  return Conv::ok;
}

Conv jobject2AlarmRcdId(JNIEnv* env, jobjectArray ids, std::list<std::string>& out) {
  const nxjni::JavaIds& r = nxjni::java_ids();
  if (!ids) return incomplete(env, loc::kNullIds);
  if (wrong_type(env, ids, r.object_array, "record id array", "an AlarmRecordId[]")) return Conv::raised;
  const jsize n = env->GetArrayLength(ids);
  for (jsize i = 0; i < n; ++i) {
    ScopedLocalRef<> id(env, env->GetObjectArrayElement(ids, i));
    if (!id) return incomplete(env, loc::kConvertNullId);
    if (wrong_type(env, id.get(), r.alarm_record_id, "record id", "an AlarmRecordId")) return Conv::raised;
    ScopedLocalRef<jstring> full(env, static_cast<jstring>(nxjni::call_object(env, id.get(), r.get_alarm_full_name)));
    if (!full) return incomplete(env, loc::kNullFullName);
    std::string text;
    if (!nxjni::java_text(env, full.get(), nxjni::kRecordIdText, text)) return Conv::raised;
    out.push_back(std::move(text));
  }
  return Conv::ok;
}

Conv jobject2MOName(JNIEnv* env, jobject mo_name, std::list<std::string>& out) {
  const nxjni::JavaIds& m = nxjni::java_ids();
  if (!mo_name) return incomplete(env, loc::kConvertNullMoName);
  if (wrong_type(env, mo_name, m.mo_name, "managed object name", "an MOName")) return Conv::raised;
  jint number = 0;
  if (!call_int(env, mo_name, m.mo_get_id, number)) return incomplete(env, loc::kConvertNullMoName);
  if (number == 0) {
    ScopedLocalRef<jstring> name(env, static_cast<jstring>(nxjni::call_object(env, mo_name, m.mo_get_name)));
    if (!name) return incomplete(env, loc::kNullMoNameText);
    std::string text;
    if (!nxjni::java_text(env, name.get(), nxjni::kMoName, text)) return Conv::raised;
    number = g_moid_lookup ? g_moid_lookup(text) : 0;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(number));
  out.push_back(text);
  return Conv::ok;
}

int jseverity2alarmSeverity(JNIEnv* env, jobject severity, std::string& text) {
  if (!severity) return nxjni::kNoSeverity;
  const nxjni::JavaIds& r = nxjni::java_ids();
  if (wrong_type(env, severity, r.severity, "severity", "an NXSeverity")) return nxjni::kNoSeverity;
  const jint id = env->GetIntField(severity, r.severity_id);
  if (checkForException(env)) return nxjni::kNoSeverity;
  const struct {
    jint id;
    const char* text;
  } table[] = {{r.critical_id, "critical"}, {r.major_id, "major"}, {r.minor_id, "minor"},
               {r.warning_id, "warning"},   {r.indeterminate_id, "indeterminate"}, {r.cleared_id, "cleared"}};
  for (int i = 0; i < 6; ++i) {
    if (table[i].id == id) {
      text = table[i].text;
      return i + 1;
    }
  }
  nxjni::throw_alarm_exception(env, nxjni::MSG_INVALID_SEVERITY);
  return nxjni::kNoSeverity;
}

bool parseChoice(const std::string& text, char& flag, std::string& value) {
  const auto colon = text.find(':');
  if (colon == std::string::npos) return false;
  const std::string tag = text.substr(0, colon);
  std::string v = text.substr(colon + 1);
  const auto first = v.find_first_not_of('"');
  const auto last = v.find_last_not_of('"');
  value = first == std::string::npos ? std::string() : v.substr(first, last - first + 1);
  flag = tag.find("number") != std::string::npos ? 1 : 0;
  return true;
}
