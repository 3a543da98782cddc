#include "jni/java_ids.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "jni/java_lookup.h"
#include "jni/jni_calls.h"
#include "jni/library_state.h"
#include "jni/messages.h"
#include "platform/management_platform.h"

namespace nxjni {
namespace {

constexpr const char* kAlarmException = "com/qel/nx/api/alarm/AlarmException";
constexpr const char* kAlarmRecord = "com/qel/nx/api/alarm/AlarmRecord";
constexpr const char* kRecordAssembler = "com/qel/nx/api/alarm/RecordAssembler";
constexpr const char* kAlarmRecordId = "com/qel/nx/api/alarm/AlarmRecordId";
constexpr const char* kAlarmLogEvent = "com/qel/nx/api/alarm/AlarmLogEvent";
constexpr const char* kAlarmLogImpl = "com/qel/nx/api/alarm/AlarmLogImpl";
constexpr const char* kDatabaseInfo = "com/qel/nx/api/alarm/AlarmDatabaseInfo";
constexpr const char* kMoName = "com/qel/nx/api/common/MOName";
constexpr const char* kLogName = "com/qel/nx/api/alarm/LogName";
constexpr const char* kEventHandler = "com/qel/nx/server/qrt/EventHandler";
constexpr const char* kAlarmsBatch = "com/qel/nx/api/alarm/AlarmsBatch";
constexpr const char* kSeverity = "com/qel/nx/api/common/NXSeverity";
constexpr const char* kAttributeSet = "com/qel/nx/api/alarm/AlarmRecordAttributeSet";
constexpr const char* kNxAttributeSet = "com/qel/nx/api/common/NXAttributeSet";
constexpr const char* kRecordAttribute = "com/qel/nx/api/alarm/AlarmRecordAttribute";
constexpr const char* kGenericQuery = "com/qel/nx/api/alarm/GenericQuery";
constexpr const char* kFilter = "com/qel/nx/api/alarm/Filter";
constexpr const char* kFilterItem = "com/qel/nx/api/alarm/FilterItem";
constexpr const char* kLogicalCriteria = "com/qel/nx/api/alarm/LogicalCriteria";
constexpr const char* kRelationCriteria = "com/qel/nx/api/alarm/RelationCriteria";
constexpr const char* kEnumeration = "java/util/Enumeration";
constexpr const char* kString = "java/lang/String";
constexpr const char* kObjectArray = "[Ljava/lang/Object;";

constexpr const char* kStringSig = "Ljava/lang/String;";
constexpr const char* kBooleanSig = "Ljava/lang/Boolean;";
constexpr const char* kDateSig = "Ljava/util/Date;";
constexpr const char* kAttributeSig = "Lcom/qel/nx/api/alarm/AlarmRecordAttribute;";

enum { kStaticObjectField = 20, kStaticIntField = 21, kNewObject = 22 };

// The value of a static object field, held as a global reference.
jobject static_object(JNIEnv* env, jclass cls, const char* name, const char* sig) {
  jfieldID id = get_field_id(env, cls, name, sig, 1);
  if (!id) return nullptr;
  jobject local = env->GetStaticObjectField(cls, id);
  if (!local) {
    location_line(kApiSource, kStaticObjectField);
    checkForException(env);
    return nullptr;
  }
  jobject global = env->NewGlobalRef(local);
  env->DeleteLocalRef(local);
  return global;
}

jint static_int(JNIEnv* env, jclass cls, const char* name) {
  jfieldID id = get_field_id(env, cls, name, "I", 1);
  if (!id) return -1;
  jint v = env->GetStaticIntField(cls, id);
  if (checkForException(env)) location_line(kApiSource, kStaticIntField);
  return v;
}

NativeIds g_native{};
RecordIds g_record{};
FilterIds g_filter{};
AttrSetIds g_attr_set{};
MoNameIds g_mo_name{};
RecordIdIds g_record_id{};
RecordArrayIds g_record_array{};
AssemblerIds g_assembler{};

std::once_flag native_once, record_once, filter_once, attr_set_once, mo_name_once, record_id_once,
    record_array_once, assembler_once;

void resolve_native(JNIEnv* env) {
  open_catalog();
  if (env->GetJavaVM(&vmBuf) != JNI_OK || !vmBuf) {
    std::fprintf(pfd, "%s", catalog_text(MSG_GET_VM));
    std::fflush(pfd);
    std::exit(-1);
  }
  NativeIds& n = g_native;
  n.alarm_exception = find_class(env, kAlarmException);
  n.alarm_record = find_class(env, kAlarmRecord);
  n.record_attr_set = get_field_id(env, n.alarm_record, "attrSet", "Lcom/qel/nx/api/alarm/AlarmRecordAttributeSet;", 0);
  n.record_managed_object_instance =
      get_field_id(env, n.alarm_record, "managedObjectInstance", "Lcom/qel/nx/api/common/MOName;", 0);
  n.alarm_record_id = find_class(env, kAlarmRecordId);
  n.record_id_to_string = get_method_id(env, n.alarm_record_id, "toString", "()Ljava/lang/String;", 0);
  n.alarm_log_event = find_class(env, kAlarmLogEvent);
  n.event_object_created = get_field_id(env, n.alarm_log_event, "OBJECT_CREATED", "I", 1);
  n.event_object_deleted = get_field_id(env, n.alarm_log_event, "OBJECT_DELETED", "I", 1);
  n.event_attr_value_changed = get_field_id(env, n.alarm_log_event, "ATTR_VALUE_CHANGED", "I", 1);
  n.alarm_event_id = static_object(env, n.alarm_log_event, "ALARM_EVENT_ID", kStringSig);
  n.event_ctor = get_method_id(env, n.alarm_log_event, "<init>", "(ILcom/qel/nx/api/alarm/AlarmRecord;)V", 0);
  n.alarm_log_impl = find_class(env, kAlarmLogImpl);
  n.database_info = find_class(env, kDatabaseInfo);
  n.database_info_ctor = get_method_id(
      env, n.database_info, "<init>",
      "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)V", 0);
  n.mo_name = find_class(env, kMoName);
  n.mo_name_ctor = get_method_id(env, n.mo_name, "<init>", "(ILjava/lang/String;)V", 0);
  n.mo_get_name = get_method_id(env, n.mo_name, "getMOName", "()Ljava/lang/String;", 0);
  n.mo_get_id = get_method_id(env, n.mo_name, "getMOId", "()I", 0);
  n.log_name = find_class(env, kLogName);
  n.log_name_ctor_string = get_method_id(env, n.log_name, "<init>", "(Ljava/lang/String;Ljava/lang/String;)V", 0);
  n.log_name_ctor_int = get_method_id(env, n.log_name, "<init>", "(Ljava/lang/String;I)V", 0);
  n.log_name_to_string = get_method_id(env, n.log_name, "toString", "()Ljava/lang/String;", 0);
  n.log_name_full = get_method_id(env, n.log_name, "getFullLogName", "()Ljava/lang/String;", 0);
  n.log_name_mis = get_method_id(env, n.log_name, "getMisName", "()Ljava/lang/String;", 0);
  n.event_handler = find_class(env, kEventHandler);
  n.send_event = get_method_id(env, n.event_handler, "sendEvent", "(Ljava/lang/String;Ljava/lang/Object;)Z", 1);
  n.alarms_batch = find_class(env, kAlarmsBatch);
  n.batch_ctor_records = get_method_id(env, n.alarms_batch, "<init>", "([Lcom/qel/nx/api/alarm/AlarmRecord;II)V", 0);
  n.batch_ctor_ints = get_method_id(env, n.alarms_batch, "<init>", "(II)V", 0);
  n.batch_event_key = static_object(env, n.alarms_batch, "EVENT_KEY", kStringSig);
  n.string = find_class(env, kString);
  n.object_array = find_class(env, kObjectArray);
  n.byte_array = find_class(env, "[B");
}

jobject new_severity(JNIEnv* env, const RecordIds& r, jint id) {
  if (!r.severity || !r.severity_ctor) return nullptr;
  jobject local = nxjni::new_object(env, r.severity, r.severity_ctor, id);
  if (!local) {
    location_line(kApiSource, kNewObject);
    checkForException(env);
    return nullptr;
  }
  jobject global = env->NewGlobalRef(local);
  env->DeleteLocalRef(local);
  return global;
}

void resolve_record(JNIEnv* env) {
  RecordIds& r = g_record;
  jclass boolean = find_class(env, "java/lang/Boolean");
  r.boolean_true = boolean ? static_object(env, boolean, "TRUE", kBooleanSig) : nullptr;
  r.alarm_exception = find_class(env, kAlarmException);
  r.alarm_record = find_class(env, kAlarmRecord);
  jclass c = r.alarm_record;
  r.record_ctor = get_method_id(env, c, "<init>", "()V", 0);
  r.ack_operator = get_field_id(env, c, "ackOperator", kStringSig, 0);
  r.ack_text = get_field_id(env, c, "ackText", kStringSig, 0);
  r.clear_operator = get_field_id(env, c, "clearOperator", kStringSig, 0);
  r.clear_text = get_field_id(env, c, "clearText", kStringSig, 0);
  r.display_operator = get_field_id(env, c, "displayOperator", kStringSig, 0);
  r.display_text = get_field_id(env, c, "displayText", kStringSig, 0);
  r.additional_text = get_field_id(env, c, "additionalText", kStringSig, 0);
  r.event_type = get_field_id(env, c, "eventType", kStringSig, 0);
  r.probable_cause = get_field_id(env, c, "probableCause", kStringSig, 0);
  r.ack_state = get_field_id(env, c, "ackState", kBooleanSig, 0);
  r.clear_state = get_field_id(env, c, "clearState", kBooleanSig, 0);
  r.display_state = get_field_id(env, c, "displayState", kBooleanSig, 0);
  r.ack_time = get_field_id(env, c, "ackTime", kDateSig, 0);
  r.clear_time = get_field_id(env, c, "clearTime", kDateSig, 0);
  r.display_time = get_field_id(env, c, "displayTime", kDateSig, 0);
  r.event_time = get_field_id(env, c, "eventTime", kDateSig, 0);
  r.logging_time = get_field_id(env, c, "loggingTime", kDateSig, 0);
  r.log_name = get_field_id(env, c, "logName", "Lcom/qel/nx/api/alarm/LogName;", 0);
  r.log_record_id = get_field_id(env, c, "logRecordId", "Lcom/qel/nx/api/alarm/AlarmRecordId;", 0);
  r.managed_object_instance = get_field_id(env, c, "managedObjectInstance", "Lcom/qel/nx/api/common/MOName;", 0);
  r.perceived_severity = get_field_id(env, c, "perceivedSeverity", "Lcom/qel/nx/api/common/NXSeverity;", 0);
  r.attr_set = get_field_id(env, c, "attrSet", "Lcom/qel/nx/api/alarm/AlarmRecordAttributeSet;", 0);
  r.alarm_record_id = find_class(env, kAlarmRecordId);
  r.record_id_ctor = get_method_id(env, r.alarm_record_id, "<init>", "(I)V", 0);
  r.severity = find_class(env, kSeverity);
  r.severity_ctor = get_method_id(env, r.severity, "<init>", "(I)V", 0);
  r.severity_id = get_field_id(env, r.severity, "id", "I", 0);
  if (r.severity) {
    r.critical_id = static_int(env, r.severity, "CRITICAL_ID");
    r.major_id = static_int(env, r.severity, "MAJOR_ID");
    r.minor_id = static_int(env, r.severity, "MINOR_ID");
    r.warning_id = static_int(env, r.severity, "WARNING_ID");
    r.indeterminate_id = static_int(env, r.severity, "INDETERMINATE_ID");
    r.cleared_id = static_int(env, r.severity, "CLEARED_ID");
    const jint ids[5] = {r.critical_id, r.major_id, r.minor_id, r.warning_id, r.indeterminate_id};
    for (int i = 0; i < 5; ++i) r.severities[i] = new_severity(env, r, ids[i]);
  }
  r.date = find_class(env, "java/util/Date");
  r.date_ctor = get_method_id(env, r.date, "<init>", "(IIIIII)V", 0);
  r.attribute_set = find_class(env, kAttributeSet);
  r.attribute_set_ctor = get_method_id(env, r.attribute_set, "<init>", "()V", 0);
  jclass nx_set = find_class(env, kNxAttributeSet);
  r.attribute_set_add = get_method_id(env, nx_set, "add", "(Lcom/qel/nx/api/common/NXObjectAttribute;)V", 0);
  jclass attr = find_class(env, kRecordAttribute);
  if (attr) {
    r.attr_ack_state = static_object(env, attr, "ACK_STATE", kAttributeSig);
    r.attr_ack_text = static_object(env, attr, "ACK_TEXT", kAttributeSig);
    r.attr_ack_time = static_object(env, attr, "ACK_TIME", kAttributeSig);
    r.attr_ack_operator = static_object(env, attr, "ACK_OPERATOR", kAttributeSig);
    r.attr_clear_state = static_object(env, attr, "CLEAR_STATE", kAttributeSig);
    r.attr_clear_text = static_object(env, attr, "CLEAR_TEXT", kAttributeSig);
    r.attr_clear_time = static_object(env, attr, "CLEAR_TIME", kAttributeSig);
    r.attr_clear_operator = static_object(env, attr, "CLEAR_OPERATOR", kAttributeSig);
    r.attr_display_state = static_object(env, attr, "DISPLAY_STATE", kAttributeSig);
    r.attr_display_text = static_object(env, attr, "DISPLAY_TEXT", kAttributeSig);
    r.attr_display_time = static_object(env, attr, "DISPLAY_TIME", kAttributeSig);
    r.attr_display_operator = static_object(env, attr, "DISPLAY_OPERATOR", kAttributeSig);
    r.attr_additional_text = static_object(env, attr, "ADDITIONAL_TEXT", kAttributeSig);
    r.attr_log_record_id = static_object(env, attr, "LOG_RECORD_ID", kAttributeSig);
    r.attr_log_name = static_object(env, attr, "LOG_NAME", kAttributeSig);
  }
  r.mo_name = find_class(env, kMoName);
  r.mo_name_ctor = get_method_id(env, r.mo_name, "<init>", "(ILjava/lang/String;)V", 0);
  r.database_info = find_class(env, kDatabaseInfo);
  r.database_info_ctor = get_method_id(
      env, r.database_info, "<init>",
      "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)V", 0);
}

void resolve_filter(JNIEnv* env) {
  FilterIds& f = g_filter;
  f.generic_query = find_class(env, kGenericQuery);
  f.query_logical = get_method_id(env, f.generic_query, "getLogicalCriteria", "()Lcom/qel/nx/api/alarm/LogicalCriteria;", 0);
  f.query_elements = get_method_id(env, f.generic_query, "elements", "()Ljava/util/Enumeration;", 0);
  f.filter = find_class(env, kFilter);
  f.filter_logical = get_method_id(env, f.filter, "getLogicalCriteria", "()Lcom/qel/nx/api/alarm/LogicalCriteria;", 0);
  f.filter_elements = get_method_id(env, f.filter, "elements", "()Ljava/util/Enumeration;", 0);
  f.filter_item = find_class(env, kFilterItem);
  f.item_relation = get_method_id(env, f.filter_item, "getRelation", "()Lcom/qel/nx/api/alarm/RelationCriteria;", 0);
  f.item_attr_name = get_method_id(env, f.filter_item, "getAttrName", "()Lcom/qel/nx/api/alarm/AlarmRecordAttribute;", 0);
  f.item_attr_value = get_method_id(env, f.filter_item, "getAttrValue", "()[Ljava/lang/Object;", 0);
  f.logical_criteria = find_class(env, kLogicalCriteria);
  f.logical_int_value = get_method_id(env, f.logical_criteria, "intValue", "()I", 0);
  f.relation_criteria = find_class(env, kRelationCriteria);
  f.relation_int_value = get_method_id(env, f.relation_criteria, "intValue", "()I", 0);
  f.record_attribute = find_class(env, kRecordAttribute);
  f.attribute_int_value = get_method_id(env, f.record_attribute, "intValue", "()I", 0);
  f.attribute_to_string = get_method_id(env, f.record_attribute, "toString", "()Ljava/lang/String;", 0);
  f.mo_name = find_class(env, kMoName);
  f.string = find_class(env, kString);
  f.object_array = find_class(env, kObjectArray);
  f.enumeration = find_class(env, kEnumeration);
  f.has_more_elements = get_method_id(env, f.enumeration, "hasMoreElements", "()Z", 0);
  f.next_element = get_method_id(env, f.enumeration, "nextElement", "()Ljava/lang/Object;", 0);
}

void resolve_attr_set(JNIEnv* env) {
  AttrSetIds& a = g_attr_set;
  a.attribute_set = find_class(env, kAttributeSet);
  a.elements = get_method_id(env, a.attribute_set, "elements", "()Ljava/util/Enumeration;", 0);
  a.enumeration = find_class(env, kEnumeration);
  a.has_more_elements = get_method_id(env, a.enumeration, "hasMoreElements", "()Z", 0);
  a.next_element = get_method_id(env, a.enumeration, "nextElement", "()Ljava/lang/Object;", 0);
  a.record_attribute = find_class(env, kRecordAttribute);
  a.attribute_int_value = get_method_id(env, a.record_attribute, "intValue", "()I", 0);
}

void resolve_mo_name(JNIEnv* env) {
  g_mo_name.mo_name = find_class(env, kMoName);
  g_mo_name.get_mo_id = get_method_id(env, g_mo_name.mo_name, "getMOId", "()I", 0);
  g_mo_name.get_mo_name = get_method_id(env, g_mo_name.mo_name, "getMOName", "()Ljava/lang/String;", 0);
}

void resolve_record_id(JNIEnv* env) {
  g_record_id.alarm_record_id = find_class(env, kAlarmRecordId);
  g_record_id.get_alarm_full_name =
      get_method_id(env, g_record_id.alarm_record_id, "getAlarmFullName", "()Ljava/lang/String;", 0);
  g_record_id.object_array = find_class(env, kObjectArray);
}

void resolve_record_array(JNIEnv* env) { g_record_array.alarm_record = find_class(env, kAlarmRecord); }

void resolve_assembler(JNIEnv* env) {
  const RecordIds& r = record_ids(env);
  AssemblerIds& a = g_assembler;
  a.assembler = find_class(env, kRecordAssembler);
  a.ctor = get_method_id(env, a.assembler, "<init>",
                         "(Lcom/qel/nx/api/alarm/LogName;Lcom/qel/nx/api/alarm/AlarmRecordAttributeSet;"
                         "[Lcom/qel/nx/api/common/NXSeverity;)V", 0);
  a.add = get_method_id(env, a.assembler, "add", "([BI)V", 0);
  a.drain = get_method_id(env, a.assembler, "drain", "()[Lcom/qel/nx/api/alarm/AlarmRecord;", 0);
  if (!r.severity) return;
  jobjectArray local = env->NewObjectArray(5, r.severity, nullptr);
  if (!local) {
    location_line(kApiSource, kNewObject);
    checkForException(env);
    return;
  }
  for (int i = 0; i < 5; ++i) env->SetObjectArrayElement(local, i, r.severities[i]);
  a.severities = static_cast<jobjectArray>(env->NewGlobalRef(local));
  env->DeleteLocalRef(local);
}

}  // namespace

const NativeIds& resolve_native_ids(JNIEnv* env) {
  std::call_once(native_once, resolve_native, env);
  return g_native;
}
const NativeIds& native_ids() { return g_native; }

const RecordIds& record_ids(JNIEnv* env) {
  std::call_once(record_once, resolve_record, env);
  return g_record;
}
const FilterIds& filter_ids(JNIEnv* env) {
  std::call_once(filter_once, resolve_filter, env);
  return g_filter;
}
const AttrSetIds& attr_set_ids(JNIEnv* env) {
  std::call_once(attr_set_once, resolve_attr_set, env);
  return g_attr_set;
}
const MoNameIds& mo_name_ids(JNIEnv* env) {
  std::call_once(mo_name_once, resolve_mo_name, env);
  return g_mo_name;
}
const RecordIdIds& record_id_ids(JNIEnv* env) {
  std::call_once(record_id_once, resolve_record_id, env);
  return g_record_id;
}
const AssemblerIds& assembler_ids(JNIEnv* env) {
  std::call_once(assembler_once, resolve_assembler, env);
  return g_assembler;
}
const RecordArrayIds& record_array_ids(JNIEnv* env) {
  std::call_once(record_array_once, resolve_record_array, env);
  return g_record_array;
}

}  // namespace nxjni
