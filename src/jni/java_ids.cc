#include "jni/java_ids.h"

#include <mutex>
#include <string>
#include <vector>

#include "jni/java_lookup.h"
#include "jni/jni_calls.h"
#include "jni/locations.h"

namespace nxjni {
namespace {

constexpr const char* kStringSig = "Ljava/lang/String;";
constexpr const char* kBooleanSig = "Ljava/lang/Boolean;";
constexpr const char* kDateSig = "Ljava/util/Date;";
constexpr const char* kAttributeSig = "Lcom/qel/nx/api/alarm/AlarmRecordAttribute;";

JavaIds g_ids{};
std::once_flag g_once;
// Every global reference the table holds, for the release at unload.
std::vector<jobject> g_globals;

template <typename T>
T keep(T global) {
  if (global) g_globals.push_back(global);
  return global;
}

jclass cls(JNIEnv* env, const char* name) { return keep(find_class(env, name)); }

jobject global_of(JNIEnv* env, jobject local, int check) {
  if (!local) {
    location_line(kApiSource, check);
    checkForException(env);
    return nullptr;
  }
  jobject global = env->NewGlobalRef(local);
  env->DeleteLocalRef(local);
  return keep(global);
}

// The value of a static object field, held as a global reference.
jobject static_object(JNIEnv* env, jclass c, const char* name, const char* sig) {
  jfieldID id = get_field_id(env, c, name, sig, 1);
  if (!id) return nullptr;
  return global_of(env, env->GetStaticObjectField(c, id), loc::kStaticObjectField);
}

jint static_int(JNIEnv* env, jclass c, const char* name) {
  jfieldID id = get_field_id(env, c, name, "I", 1);
  if (!id) return -1;
  jint v = env->GetStaticIntField(c, id);
  if (checkForException(env)) location_line(kApiSource, loc::kStaticIntField);
  return v;
}

void resolve_java_lang(JNIEnv* env, JavaIds& j) {
  j.string = cls(env, "java/lang/String");
  j.object_array = cls(env, "[Ljava/lang/Object;");
  j.byte_array = cls(env, "[B");
  jclass boolean = cls(env, "java/lang/Boolean");
  j.boolean_true = boolean ? static_object(env, boolean, "TRUE", kBooleanSig) : nullptr;
  j.date = cls(env, "java/util/Date");
  j.date_ctor = get_method_id(env, j.date, "<init>", "(IIIIII)V", 0);
  j.enumeration = cls(env, "java/util/Enumeration");
  j.has_more_elements = get_method_id(env, j.enumeration, "hasMoreElements", "()Z", 0);
  j.next_element = get_method_id(env, j.enumeration, "nextElement", "()Ljava/lang/Object;", 0);
}

void resolve_record(JNIEnv* env, JavaIds& j) {
  j.alarm_record = cls(env, "com/qel/nx/api/alarm/AlarmRecord");
  jclass c = j.alarm_record;
  j.record_ctor = get_method_id(env, c, "<init>", "()V", 0);
  j.ack_operator = get_field_id(env, c, "ackOperator", kStringSig, 0);
  j.ack_text = get_field_id(env, c, "ackText", kStringSig, 0);
  j.clear_operator = get_field_id(env, c, "clearOperator", kStringSig, 0);
  j.clear_text = get_field_id(env, c, "clearText", kStringSig, 0);
  j.display_operator = get_field_id(env, c, "displayOperator", kStringSig, 0);
  j.display_text = get_field_id(env, c, "displayText", kStringSig, 0);
  j.additional_text = get_field_id(env, c, "additionalText", kStringSig, 0);
  j.event_type = get_field_id(env, c, "eventType", kStringSig, 0);
  j.probable_cause = get_field_id(env, c, "probableCause", kStringSig, 0);
  j.ack_state = get_field_id(env, c, "ackState", kBooleanSig, 0);
  j.clear_state = get_field_id(env, c, "clearState", kBooleanSig, 0);
  j.display_state = get_field_id(env, c, "displayState", kBooleanSig, 0);
  j.ack_time = get_field_id(env, c, "ackTime", kDateSig, 0);
  j.clear_time = get_field_id(env, c, "clearTime", kDateSig, 0);
  j.display_time = get_field_id(env, c, "displayTime", kDateSig, 0);
  j.event_time = get_field_id(env, c, "eventTime", kDateSig, 0);
  j.logging_time = get_field_id(env, c, "loggingTime", kDateSig, 0);
  j.log_name = get_field_id(env, c, "logName", "Lcom/qel/nx/api/alarm/LogName;", 0);
  j.log_record_id = get_field_id(env, c, "logRecordId", "Lcom/qel/nx/api/alarm/AlarmRecordId;", 0);
  j.managed_object_instance = get_field_id(env, c, "managedObjectInstance", "Lcom/qel/nx/api/common/MOName;", 0);
  j.perceived_severity = get_field_id(env, c, "perceivedSeverity", "Lcom/qel/nx/api/common/NXSeverity;", 0);
  j.attr_set = get_field_id(env, c, "attrSet", "Lcom/qel/nx/api/alarm/AlarmRecordAttributeSet;", 0);

  j.alarm_record_id = cls(env, "com/qel/nx/api/alarm/AlarmRecordId");
  j.record_id_ctor = get_method_id(env, j.alarm_record_id, "<init>", "(I)V", 0);
  j.record_id_to_string = get_method_id(env, j.alarm_record_id, "toString", "()Ljava/lang/String;", 0);
  j.get_alarm_full_name = get_method_id(env, j.alarm_record_id, "getAlarmFullName", "()Ljava/lang/String;", 0);
}

void resolve_severity(JNIEnv* env, JavaIds& j) {
  j.severity = cls(env, "com/qel/nx/api/common/NXSeverity");
  j.severity_ctor = get_method_id(env, j.severity, "<init>", "(I)V", 0);
  j.severity_id = get_field_id(env, j.severity, "id", "I", 0);
  if (!j.severity) return;
  j.critical_id = static_int(env, j.severity, "CRITICAL_ID");
  j.major_id = static_int(env, j.severity, "MAJOR_ID");
  j.minor_id = static_int(env, j.severity, "MINOR_ID");
  j.warning_id = static_int(env, j.severity, "WARNING_ID");
  j.indeterminate_id = static_int(env, j.severity, "INDETERMINATE_ID");
  j.cleared_id = static_int(env, j.severity, "CLEARED_ID");
  if (!j.severity_ctor) return;
  const jint ids[5] = {j.critical_id, j.major_id, j.minor_id, j.warning_id, j.indeterminate_id};
  for (int i = 0; i < 5; ++i)
    j.severities[i] = global_of(env, new_object(env, j.severity, j.severity_ctor, ids[i]), loc::kNewObject);
  auto array = static_cast<jobjectArray>(global_of(env, env->NewObjectArray(5, j.severity, nullptr), loc::kNewObject));
  if (!array) return;
  for (int i = 0; i < 5; ++i) env->SetObjectArrayElement(array, i, j.severities[i]);
  j.severity_array = array;
}

void resolve_attributes(JNIEnv* env, JavaIds& j) {
  j.attribute_set = cls(env, "com/qel/nx/api/alarm/AlarmRecordAttributeSet");
  j.attribute_set_ctor = get_method_id(env, j.attribute_set, "<init>", "()V", 0);
  j.attribute_set_elements = get_method_id(env, j.attribute_set, "elements", "()Ljava/util/Enumeration;", 0);
  jclass nx_set = cls(env, "com/qel/nx/api/common/NXAttributeSet");
  j.attribute_set_add = get_method_id(env, nx_set, "add", "(Lcom/qel/nx/api/common/NXObjectAttribute;)V", 0);

  jclass a = j.record_attribute = cls(env, "com/qel/nx/api/alarm/AlarmRecordAttribute");
  j.attribute_int_value = get_method_id(env, a, "intValue", "()I", 0);
  j.attribute_to_string = get_method_id(env, a, "toString", "()Ljava/lang/String;", 0);
  if (!a) return;
  j.attr_ack_state = static_object(env, a, "ACK_STATE", kAttributeSig);
  j.attr_ack_text = static_object(env, a, "ACK_TEXT", kAttributeSig);
  j.attr_ack_time = static_object(env, a, "ACK_TIME", kAttributeSig);
  j.attr_ack_operator = static_object(env, a, "ACK_OPERATOR", kAttributeSig);
  j.attr_clear_state = static_object(env, a, "CLEAR_STATE", kAttributeSig);
  j.attr_clear_text = static_object(env, a, "CLEAR_TEXT", kAttributeSig);
  j.attr_clear_time = static_object(env, a, "CLEAR_TIME", kAttributeSig);
  j.attr_clear_operator = static_object(env, a, "CLEAR_OPERATOR", kAttributeSig);
  j.attr_display_state = static_object(env, a, "DISPLAY_STATE", kAttributeSig);
  j.attr_display_text = static_object(env, a, "DISPLAY_TEXT", kAttributeSig);
  j.attr_display_time = static_object(env, a, "DISPLAY_TIME", kAttributeSig);
  j.attr_display_operator = static_object(env, a, "DISPLAY_OPERATOR", kAttributeSig);
  j.attr_additional_text = static_object(env, a, "ADDITIONAL_TEXT", kAttributeSig);
  j.attr_log_record_id = static_object(env, a, "LOG_RECORD_ID", kAttributeSig);
  j.attr_log_name = static_object(env, a, "LOG_NAME", kAttributeSig);
}

void resolve_names(JNIEnv* env, JavaIds& j) {
  j.mo_name = cls(env, "com/qel/nx/api/common/MOName");
  j.mo_name_ctor = get_method_id(env, j.mo_name, "<init>", "(ILjava/lang/String;)V", 0);
  j.mo_get_name = get_method_id(env, j.mo_name, "getMOName", "()Ljava/lang/String;", 0);
  j.mo_get_id = get_method_id(env, j.mo_name, "getMOId", "()I", 0);

  jclass l = j.log_name_class = cls(env, "com/qel/nx/api/alarm/LogName");
  j.log_name_ctor_string = get_method_id(env, l, "<init>", "(Ljava/lang/String;Ljava/lang/String;)V", 0);
  j.log_name_ctor_int = get_method_id(env, l, "<init>", "(Ljava/lang/String;I)V", 0);
  j.log_name_to_string = get_method_id(env, l, "toString", "()Ljava/lang/String;", 0);
  j.log_name_full = get_method_id(env, l, "getFullLogName", "()Ljava/lang/String;", 0);
  j.log_name_mis = get_method_id(env, l, "getMisName", "()Ljava/lang/String;", 0);
}

void resolve_log(JNIEnv* env, JavaIds& j) {
  j.alarm_exception = cls(env, "com/qel/nx/api/alarm/AlarmException");
  j.alarm_input_exception = cls(env, "com/qel/nx/api/alarm/AlarmInputException");

  jclass e = j.alarm_log_event = cls(env, "com/qel/nx/api/alarm/AlarmLogEvent");
  j.event_object_created = get_field_id(env, e, "OBJECT_CREATED", "I", 1);
  j.event_object_deleted = get_field_id(env, e, "OBJECT_DELETED", "I", 1);
  j.event_attr_value_changed = get_field_id(env, e, "ATTR_VALUE_CHANGED", "I", 1);
  j.alarm_event_id = static_object(env, e, "ALARM_EVENT_ID", kStringSig);
  j.event_ctor = get_method_id(env, e, "<init>", "(ILcom/qel/nx/api/alarm/AlarmRecord;)V", 0);

  j.alarm_log_impl = cls(env, "com/qel/nx/api/alarm/AlarmLogImpl");
  j.database_info = cls(env, "com/qel/nx/api/alarm/AlarmDatabaseInfo");
  j.database_info_ctor = get_method_id(
      env, j.database_info, "<init>",
      "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)V", 0);
  j.event_handler = cls(env, "com/qel/nx/server/qrt/EventHandler");
  j.send_event = get_method_id(env, j.event_handler, "sendEvent", "(Ljava/lang/String;Ljava/lang/Object;)Z", 1);
  jclass b = j.alarms_batch = cls(env, "com/qel/nx/api/alarm/AlarmsBatch");
  j.batch_ctor_records = get_method_id(env, b, "<init>", "([Lcom/qel/nx/api/alarm/AlarmRecord;II)V", 0);
  j.batch_ctor_ints = get_method_id(env, b, "<init>", "(II)V", 0);
  j.batch_event_key = static_object(env, b, "EVENT_KEY", kStringSig);
  j.alarm_page = cls(env, "com/qel/nx/api/alarm/AlarmPage");
  j.page_ctor = get_method_id(env, j.alarm_page, "<init>",
                              "([Lcom/qel/nx/api/alarm/AlarmRecord;Ljava/lang/String;"
                              "Lcom/qel/nx/api/alarm/AlarmLogImpl;Lcom/qel/nx/api/alarm/LogName;"
                              "Lcom/qel/nx/api/alarm/GenericQuery;)V", 0);

  j.assembler = cls(env, "com/qel/nx/api/alarm/RecordAssembler");
  j.assembler_ctor = get_method_id(env, j.assembler, "<init>",
                                   "(Lcom/qel/nx/api/alarm/LogName;Lcom/qel/nx/api/alarm/AlarmRecordAttributeSet;"
                                   "[Lcom/qel/nx/api/common/NXSeverity;)V", 0);
  j.assembler_add = get_method_id(env, j.assembler, "add", "([BI)V", 0);
  j.assembler_drain = get_method_id(env, j.assembler, "drain", "()[Lcom/qel/nx/api/alarm/AlarmRecord;", 0);
  j.assembler_events = get_method_id(env, j.assembler, "deliverEvents",
                                     "([BILcom/qel/nx/api/alarm/AlarmRecordAttributeSet;"
                                     "[Lcom/qel/nx/api/common/NXSeverity;)V", 1);
}

void resolve_queries(JNIEnv* env, JavaIds& j) {
  constexpr const char* kLogicalSig = "()Lcom/qel/nx/api/alarm/LogicalCriteria;";
  j.generic_query = cls(env, "com/qel/nx/api/alarm/GenericQuery");
  j.query_logical = get_method_id(env, j.generic_query, "getLogicalCriteria", kLogicalSig, 0);
  j.query_elements = get_method_id(env, j.generic_query, "elements", "()Ljava/util/Enumeration;", 0);
  j.query_order_codes = get_method_id(env, j.generic_query, "orderCodes", "()[I", 0);
  j.filter = cls(env, "com/qel/nx/api/alarm/Filter");
  j.filter_logical = get_method_id(env, j.filter, "getLogicalCriteria", kLogicalSig, 0);
  j.filter_elements = get_method_id(env, j.filter, "elements", "()Ljava/util/Enumeration;", 0);
  jclass i = j.filter_item = cls(env, "com/qel/nx/api/alarm/FilterItem");
  j.item_relation = get_method_id(env, i, "getRelation", "()Lcom/qel/nx/api/alarm/RelationCriteria;", 0);
  j.item_attr_name = get_method_id(env, i, "getAttrName", "()Lcom/qel/nx/api/alarm/AlarmRecordAttribute;", 0);
  j.item_attr_value = get_method_id(env, i, "getAttrValue", "()[Ljava/lang/Object;", 0);
  j.logical_criteria = cls(env, "com/qel/nx/api/alarm/LogicalCriteria");
  j.logical_int_value = get_method_id(env, j.logical_criteria, "intValue", "()I", 0);
  j.relation_criteria = cls(env, "com/qel/nx/api/alarm/RelationCriteria");
  j.relation_int_value = get_method_id(env, j.relation_criteria, "intValue", "()I", 0);
}

void resolve_history(JNIEnv* env, JavaIds& j) {
  constexpr const char* kId = "Lcom/qel/nx/api/alarm/AlarmRecordId;";
  constexpr const char* kText = "Ljava/lang/String;";
  j.state_change = cls(env, "com/qel/nx/api/alarm/AlarmStateChange");
  const std::string sig = std::string("(") + kId + kText + kText + kText + kText + "Ljava/util/Date;" + kText +
                          kText + kId + ")V";
  j.state_change_ctor = get_method_id(env, j.state_change, "<init>", sig.c_str(), 0);
  j.date_get_time = get_method_id(env, j.date, "getTime", "()J", 0);
}

void resolve_all(JNIEnv* env) {
  JavaIds& j = g_ids;
  resolve_java_lang(env, j);
  resolve_log(env, j);
  resolve_record(env, j);
  resolve_severity(env, j);
  resolve_attributes(env, j);
  resolve_names(env, j);
  resolve_queries(env, j);
  resolve_history(env, j);
}

}  // namespace

void resolve_java_ids(JNIEnv* env) { std::call_once(g_once, resolve_all, env); }

const JavaIds& java_ids() { return g_ids; }

void release_java_ids(JNIEnv* env) {
  for (jobject global : g_globals) env->DeleteGlobalRef(global);
  g_globals.clear();
  g_ids = JavaIds{};
}

}  // namespace nxjni
