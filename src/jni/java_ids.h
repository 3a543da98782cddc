// The one place that caches Java classes, method and field ids and Java
// constants. Each group is resolved once, on first use, and never changes
// afterwards; a failed lookup leaves a null id (and a location line).
#pragma once

#include <jni.h>

namespace nxjni {

// Resolved by the first init: everything the native methods use directly.
struct NativeIds {
  jclass alarm_exception;
  jclass alarm_record;
  jfieldID record_attr_set;
  jfieldID record_managed_object_instance;
  jclass alarm_record_id;
  jmethodID record_id_to_string;
  jclass alarm_log_event;
  jfieldID event_object_created;
  jfieldID event_object_deleted;
  jfieldID event_attr_value_changed;
  jobject alarm_event_id;  // global ref to AlarmLogEvent.ALARM_EVENT_ID
  jmethodID event_ctor;
  jclass alarm_log_impl;
  jclass database_info;
  jmethodID database_info_ctor;
  jclass mo_name;
  jmethodID mo_name_ctor;
  jmethodID mo_get_name;
  jmethodID mo_get_id;
  jclass log_name;
  jmethodID log_name_ctor_string;
  jmethodID log_name_ctor_int;
  jmethodID log_name_to_string;
  jmethodID log_name_full;
  jmethodID log_name_mis;
  jclass event_handler;
  jmethodID send_event;
  jclass alarms_batch;
  jmethodID batch_ctor_records;
  jmethodID batch_ctor_ints;
  jobject batch_event_key;  // global ref to AlarmsBatch.EVENT_KEY
  // For the class checks of arguments: texts, arrays of objects, bytes.
  jclass string;
  jclass object_array;
  jclass byte_array;
};

// Resolved by the first record or severity conversion.
struct RecordIds {
  jobject boolean_true;
  jclass alarm_exception;
  jclass alarm_record;
  jmethodID record_ctor;
  jfieldID ack_operator, ack_text, clear_operator, clear_text, display_operator, display_text,
      additional_text, event_type, probable_cause;
  jfieldID ack_state, clear_state, display_state;
  jfieldID ack_time, clear_time, display_time, event_time, logging_time;
  jfieldID log_name, log_record_id, managed_object_instance, perceived_severity, attr_set;
  jclass alarm_record_id;
  jmethodID record_id_ctor;
  jclass severity;
  jmethodID severity_ctor;
  jfieldID severity_id;
  jint critical_id, major_id, minor_id, warning_id, indeterminate_id, cleared_id;
  // Shared severity objects: critical, major, minor, warning, indeterminate.
  jobject severities[5];
  jclass date;
  jmethodID date_ctor;
  jclass attribute_set;
  jmethodID attribute_set_ctor;
  jmethodID attribute_set_add;
  // AlarmRecordAttribute constants (global refs).
  jobject attr_ack_state, attr_ack_text, attr_ack_time, attr_ack_operator;
  jobject attr_clear_state, attr_clear_text, attr_clear_time, attr_clear_operator;
  jobject attr_display_state, attr_display_text, attr_display_time, attr_display_operator;
  jobject attr_additional_text, attr_log_record_id, attr_log_name;
  jclass mo_name;
  jmethodID mo_name_ctor;
  jclass database_info;
  jmethodID database_info_ctor;
};

// Resolved by the first filter conversion.
struct FilterIds {
  jclass generic_query;
  jmethodID query_logical;
  jmethodID query_elements;
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
  jclass record_attribute;
  jmethodID attribute_int_value;
  jmethodID attribute_to_string;
  jclass mo_name;
  jclass string;
  jclass object_array;  // the values of a filter item
  jclass enumeration;
  jmethodID has_more_elements;
  jmethodID next_element;
};

// Resolved by the first attribute-set conversion.
struct AttrSetIds {
  jclass attribute_set;
  jmethodID elements;
  jclass enumeration;
  jmethodID has_more_elements;
  jmethodID next_element;
  jclass record_attribute;
  jmethodID attribute_int_value;
};

// Resolved by the first MO-name conversion.
struct MoNameIds {
  jclass mo_name;
  jmethodID get_mo_id;
  jmethodID get_mo_name;
};

// Resolved by the first record-id conversion.
struct RecordIdIds {
  jclass alarm_record_id;
  jmethodID get_alarm_full_name;
  jclass object_array;  // the array holding them
};

// Resolved by the first record-array construction.
struct RecordArrayIds {
  jclass alarm_record;
};

// Resolved by the first packed retrieval.
struct AssemblerIds {
  jclass assembler;
  jmethodID ctor;   // (LogName, AlarmRecordAttributeSet, NXSeverity[])
  jmethodID add;    // (byte[], int)
  jmethodID drain;  // () AlarmRecord[]
  // The shared severity objects in creation order, as a Java array (global).
  jobjectArray severities;
};

// Opens the catalog, saves the VM (fatal when it cannot be had) and
// resolves the native-method ids. Called by the first init.
const NativeIds& resolve_native_ids(JNIEnv* env);
// The native-method ids; valid only after init_done is set.
const NativeIds& native_ids();

const RecordIds& record_ids(JNIEnv* env);
const FilterIds& filter_ids(JNIEnv* env);
const AttrSetIds& attr_set_ids(JNIEnv* env);
const MoNameIds& mo_name_ids(JNIEnv* env);
const RecordIdIds& record_id_ids(JNIEnv* env);
const RecordArrayIds& record_array_ids(JNIEnv* env);
const AssemblerIds& assembler_ids(JNIEnv* env);

}  // namespace nxjni
