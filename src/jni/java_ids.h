// The one table of the Java classes, method and field ids and Java constants
// the library uses: each class and each id once. It is resolved once, when
// the library is loaded (JNI_OnLoad, on the loading thread, whose class
// loader sees the API classes; event threads attached natively later would
// see only the system loader), and released when it is unloaded. A failed
// lookup leaves a null entry and a location line; a native that needs the
// entry then refuses.
#pragma once

#include <jni.h>

namespace nxjni {

struct JavaIds {
  // java.lang and java.util.
  jclass string;
  jclass object_array;
  jclass byte_array;
  jobject boolean_true;  // Boolean.TRUE
  jclass date;
  jmethodID date_ctor;
  jclass enumeration;
  jmethodID has_more_elements;
  jmethodID next_element;

  jclass alarm_exception;
  jclass alarm_input_exception;

  // AlarmRecord and its fields.
  jclass alarm_record;
  jmethodID record_ctor;
  jfieldID ack_operator, ack_text, clear_operator, clear_text, display_operator, display_text,
      additional_text, event_type, probable_cause;
  jfieldID ack_state, clear_state, display_state;
  jfieldID ack_time, clear_time, display_time, event_time, logging_time;
  jfieldID log_name, log_record_id, managed_object_instance, perceived_severity, attr_set;

  // AlarmStateChange (record history) and Date.getTime for its times.
  jclass state_change;
  jmethodID state_change_ctor;
  jmethodID date_get_time;

  jclass alarm_record_id;
  jmethodID record_id_ctor;
  jmethodID record_id_to_string;
  jmethodID get_alarm_full_name;

  // NXSeverity: the ids and the shared objects (critical, major, minor,
  // warning, indeterminate), also as one Java array for the assembler.
  jclass severity;
  jmethodID severity_ctor;
  jfieldID severity_id;
  jint critical_id, major_id, minor_id, warning_id, indeterminate_id, cleared_id;
  jobject severities[5];
  jobjectArray severity_array;

  // AlarmRecordAttributeSet (add is NXAttributeSet's).
  jclass attribute_set;
  jmethodID attribute_set_ctor;
  jmethodID attribute_set_add;
  jmethodID attribute_set_elements;

  // AlarmRecordAttribute and its constants.
  jclass record_attribute;
  jmethodID attribute_int_value;
  jmethodID attribute_to_string;
  jobject attr_ack_state, attr_ack_text, attr_ack_time, attr_ack_operator;
  jobject attr_clear_state, attr_clear_text, attr_clear_time, attr_clear_operator;
  jobject attr_display_state, attr_display_text, attr_display_time, attr_display_operator;
  jobject attr_additional_text, attr_log_record_id, attr_log_name;

  jclass mo_name;
  jmethodID mo_name_ctor;
  jmethodID mo_get_name;
  jmethodID mo_get_id;

  jclass log_name_class;
  jmethodID log_name_ctor_string;
  jmethodID log_name_ctor_int;
  jmethodID log_name_to_string;
  jmethodID log_name_full;
  jmethodID log_name_mis;

  jclass alarm_log_event;
  jfieldID event_object_created;
  jfieldID event_object_deleted;
  jfieldID event_attr_value_changed;
  jobject alarm_event_id;  // AlarmLogEvent.ALARM_EVENT_ID
  jmethodID event_ctor;

  jclass alarm_log_impl;
  jclass database_info;
  jmethodID database_info_ctor;
  jclass event_handler;
  jmethodID send_event;
  jclass alarms_batch;
  jmethodID batch_ctor_records;
  jmethodID batch_ctor_ints;
  jobject batch_event_key;  // AlarmsBatch.EVENT_KEY
  jclass alarm_page;
  jmethodID page_ctor;  // (AlarmRecord[], String, AlarmLogImpl, LogName, GenericQuery)

  // Queries.
  jclass generic_query;
  jmethodID query_logical;
  jmethodID query_elements;
  jmethodID query_order_codes;  // int[]: attribute code, 1 for descending, per key
  jclass filter;
  jmethodID filter_logical;
  jmethodID filter_elements;
  jclass filter_item;
  jmethodID item_relation;
  jmethodID item_attr_name;
  jmethodID item_attr_value;
  jclass logical_criteria;
  jmethodID logical_int_value;
  jclass relation_criteria;
  jmethodID relation_int_value;

  // RecordAssembler.
  jclass assembler;
  jmethodID assembler_ctor;   // (LogName, AlarmRecordAttributeSet, NXSeverity[])
  jmethodID assembler_add;    // (byte[], int)
  jmethodID assembler_drain;  // () AlarmRecord[]
  jmethodID assembler_events; // static (byte[], int, AlarmRecordAttributeSet, NXSeverity[]): a run of events
};

// Resolves the table (the first call; later calls do nothing). Called by
// JNI_OnLoad, and by tests that start a VM of their own.
void resolve_java_ids(JNIEnv* env);
// The table; all null before resolve_java_ids and after release_java_ids.
const JavaIds& java_ids();
// Drops the global references of the table (JNI_OnUnload).
void release_java_ids(JNIEnv* env);

}  // namespace nxjni
