// Java AlarmRecord objects from native records: one field per supported
// attribute, each text converted to the field's Java type.
#pragma once

#include <jni.h>

#include <list>
#include <string>

#include "model/alarm_attribute.h"

// The attributes asked for, in the order asked; attrSet is left to the caller.
jobject alarm2record(JNIEnv* env, jobject log_name, const AlarmAttributeMap& attributes,
                     const std::list<AlarmAttributeId>& wanted);
// The same, with the record identifier given apart from the map (as if it
// were in the map under logRecordId): saves copying the map per record.
jobject alarm2record(JNIEnv* env, jobject log_name, const AlarmAttributeMap& attributes,
                     const std::string& record_id, const std::list<AlarmAttributeId>& wanted);
// The attributes an event carries, with the set of those present in attrSet.
jobject alarm2recordEvent(JNIEnv* env, jobject log_name, const AlarmAttributeMap& attributes,
                          const std::list<AlarmAttributeId>& wanted);
// Sets one field of a Java record; adds the attribute's constant to set if given.
void alarmSetValue(JNIEnv* env, jobject record, AlarmAttributeId id, std::string value, jobject set);
// A java.util.Date of a time text (14 digits, optionally after a prefix
// ending in a double quote), or null for "NULL".
jobject alarmTimeToDate(JNIEnv* env, const std::string& text);
