#include "jni/convert.h"

#include <cstdio>

#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/jni_calls.h"
#include "jni/scoped_jni.h"

using nxjni::Conv;

namespace {

// Check numbers of the location lines written here.
enum {
  kNullQuery = 401, kNullQueryOp = 402, kNullQueryElements = 403, kNullFilter = 404,
  kNullFilterOp = 405, kNullFilterElements = 406, kNullItem = 407, kNullRelation = 408,
  kNullAttrName = 409, kNullAttrText = 410, kNullValues = 411, kNullValue = 412,
  kNullSet = 413, kNullSetElements = 414, kNullSetElement = 415, kNullIds = 416,
  kNullId = 417, kNullFullName = 418, kNullMoName = 419, kNullMoNameText = 420,
};

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


Conv convert_item(JNIEnv* env, const nxjni::FilterIds& f, jobject item, AlarmFilter& filter) {
  ScopedLocalRef<> relation(env, nxjni::call_object(env, item, f.item_relation));
  if (!relation) return incomplete(env, kNullRelation);
  jint relation_code = 0;
  if (!call_int(env, relation.get(), f.relation_int_value, relation_code)) return incomplete(env, kNullRelation);

  ScopedLocalRef<> attr(env, nxjni::call_object(env, item, f.item_attr_name));
  if (!attr) return incomplete(env, kNullAttrName);
  ScopedLocalRef<jstring> attr_text(env, static_cast<jstring>(nxjni::call_object(env, attr.get(), f.attribute_to_string)));
  if (!attr_text) return incomplete(env, kNullAttrText);
  std::string name;
  if (!java_text(env, attr_text.get(), name)) return Conv::raised;

  ScopedLocalRef<jobjectArray> values(env, static_cast<jobjectArray>(nxjni::call_object(env, item, f.item_attr_value)));
  if (!values) return incomplete(env, kNullValues);

  std::list<std::string> texts;
  std::string severity_text;
  const bool moid = name == "managedObjectInstance" || name == "moid";
  const bool severity = name == "perceivedSeverity";
  for (jsize i = 0; i < env->GetArrayLength(values.get()); ++i) {
    ScopedLocalRef<> value(env, env->GetObjectArrayElement(values.get(), i));
    if (!value) return incomplete(env, kNullValue);
    if (moid) {
      name = "moid";
      const Conv c = jobject2MOName(env, value.get(), texts);
      if (c != Conv::ok) return c;
    } else if (severity) {
      jseverity2alarmSeverity(env, value.get(), severity_text);
      if (env->ExceptionCheck()) return Conv::raised;
      texts.push_back(severity_text);
    } else {
      if (!env->IsInstanceOf(value.get(), f.string)) {
        // Only strings carry text; anything else would be guessed at.
        nxjni::throw_alarm_exception(env, "FilterItem value is not a String");
        return Conv::raised;
      }
      std::string text;
      if (!java_text(env, static_cast<jstring>(value.get()), text)) return Conv::raised;
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
  const nxjni::FilterIds& f = nxjni::filter_ids(env);
  // A null query is the documented way to ask for every record.
  if (!query) {
    location_line(kConvertSource, kNullQuery);
    return Conv::ok;
  }
  ScopedLocalRef<> op(env, nxjni::call_object(env, query, f.query_logical));
  if (!op) return incomplete(env, kNullQueryOp);
  jint op_code = 0;
  if (!call_int(env, op.get(), f.logical_int_value, op_code)) return incomplete(env, kNullQueryOp);
  out.set_logical_op(static_cast<LogicalOpCriteria>(op_code + 1));

  ScopedLocalRef<> filters(env, nxjni::call_object(env, query, f.query_elements));
  if (!filters) return incomplete(env, kNullQueryElements);
  while (nxjni::call_boolean(env, filters.get(), f.has_more_elements)) {
    ScopedLocalRef<> jfilter(env, nxjni::call_object(env, filters.get(), f.next_element));
    if (!jfilter) return incomplete(env, kNullFilter);
    ScopedLocalRef<> fop(env, nxjni::call_object(env, jfilter.get(), f.filter_logical));
    if (!fop) return incomplete(env, kNullFilterOp);
    jint fop_code = 0;
    if (!call_int(env, fop.get(), f.logical_int_value, fop_code)) return incomplete(env, kNullFilterOp);

    auto filter = std::make_unique<AlarmFilter>();
    filter->set_logical_op(static_cast<LogicalOpCriteria>(fop_code + 1));
    ScopedLocalRef<> items(env, nxjni::call_object(env, jfilter.get(), f.filter_elements));
    if (!items) return incomplete(env, kNullFilterElements);
    while (nxjni::call_boolean(env, items.get(), f.has_more_elements)) {
      ScopedLocalRef<> item(env, nxjni::call_object(env, items.get(), f.next_element));
      if (!item) return incomplete(env, kNullItem);
      const Conv c = convert_item(env, f, item.get(), *filter);
      if (c != Conv::ok) return c;
    }
    if (env->ExceptionCheck()) return incomplete(env, kNullFilterElements);
    out.add_filter(std::move(filter));
  }
  if (env->ExceptionCheck()) return incomplete(env, kNullQueryElements);
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
  const nxjni::AttrSetIds& a = nxjni::attr_set_ids(env);
  if (!set) return incomplete(env, kNullSet);
  ScopedLocalRef<> elements(env, nxjni::call_object(env, set, a.elements));
  if (!elements) return incomplete(env, kNullSetElements);
  while (nxjni::call_boolean(env, elements.get(), a.has_more_elements)) {
    ScopedLocalRef<> attr(env, nxjni::call_object(env, elements.get(), a.next_element));
    if (!attr) return incomplete(env, kNullSetElement);
    jint code = 0;
    if (!call_int(env, attr.get(), a.attribute_int_value, code)) return incomplete(env, kNullSetElement);
    const int id = id2AttributeId(env, code);
    if (env->ExceptionCheck()) return Conv::raised;
    out.push_back(static_cast<AlarmAttributeId>(id));
  }
  if (env->ExceptionCheck()) return incomplete(env, kNullSetElements);
  return Conv::ok;
}

Conv jobject2AlarmRcdId(JNIEnv* env, jobjectArray ids, std::list<std::string>& out) {
  const nxjni::RecordIdIds& r = nxjni::record_id_ids(env);
  if (!ids) return incomplete(env, kNullIds);
  const jsize n = env->GetArrayLength(ids);
  for (jsize i = 0; i < n; ++i) {
    ScopedLocalRef<> id(env, env->GetObjectArrayElement(ids, i));
    if (!id) return incomplete(env, kNullId);
    ScopedLocalRef<jstring> full(env, static_cast<jstring>(nxjni::call_object(env, id.get(), r.get_alarm_full_name)));
    if (!full) return incomplete(env, kNullFullName);
    std::string text;
    if (!java_text(env, full.get(), text)) return Conv::raised;
    out.push_back(std::move(text));
  }
  return Conv::ok;
}

Conv jobject2MOName(JNIEnv* env, jobject mo_name, std::list<std::string>& out) {
  const nxjni::MoNameIds& m = nxjni::mo_name_ids(env);
  if (!mo_name) return incomplete(env, kNullMoName);
  jint number = 0;
  if (!call_int(env, mo_name, m.get_mo_id, number)) return incomplete(env, kNullMoName);
  if (number == 0) {
    ScopedLocalRef<jstring> name(env, static_cast<jstring>(nxjni::call_object(env, mo_name, m.get_mo_name)));
    if (!name) return incomplete(env, kNullMoNameText);
    std::string text;
    if (!java_text(env, name.get(), text)) return Conv::raised;
    number = g_moid_lookup ? g_moid_lookup(text) : 0;
  }
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(number));
  out.push_back(text);
  return Conv::ok;
}

int jseverity2alarmSeverity(JNIEnv* env, jobject severity, std::string& text) {
  if (!severity) return nxjni::kNoSeverity;
  const nxjni::RecordIds& r = nxjni::record_ids(env);
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
