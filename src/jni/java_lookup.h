// Lookups of Java classes, methods and fields, and the two ways a failure
// leaves a trace: a location line on standard error, or AlarmException.
#pragma once

#include <jni.h>

#include "jni/messages.h"

// Source paths written on location lines: the native methods, batches and
// events, and the Java conversions.
constexpr const char* kApiSource = "../alarmApi";
constexpr const char* kConvertSource = "../convert";

// Writes "<path> <check>\n" on standard error and flushes it.
void location_line(const char* path, int check);

// If a Java exception is pending: describes it (which clears it), returns 1.
int checkForException(JNIEnv* env);

// FindClass turned into a global reference; null (with a location line) on failure.
jclass find_class(JNIEnv* env, const char* name);
jmethodID get_method_id(JNIEnv* env, jclass cls, const char* name, const char* sig, int is_static);
jfieldID get_field_id(JNIEnv* env, jclass cls, const char* name, const char* sig, int is_static);

namespace nxjni {
// Raises AlarmException with a text. Never called with an exception pending.
void throw_alarm_exception(JNIEnv* env, const char* text);
// The same with a catalog text; when the call failed because the database
// was busy past the lock wait or is read-only, with that reason instead.
void throw_alarm_exception(JNIEnv* env, Message m);
// Marks the start of a native's database work (under the process-wide lock):
// only failures noted after it explain the native's own failure.
void begin_database_call();
}  // namespace nxjni
