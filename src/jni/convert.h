// Conversions from the Java objects the natives receive (queries, attribute
// sets, record identifiers, managed-object names, severities) into the
// native query model and texts.
//
// Every conversion reports how it ended. An incomplete conversion (a null
// Java object along the way) has written its location line and must not be
// used: a query with a filter missing would select more than was asked.
// A raised one has left an exception pending (AlarmException, also for a
// Java object of another class than the one expected, or the VM's
// OutOfMemoryError): the native returns at once.
#pragma once

#include <jni.h>

#include <list>
#include <string>

#include "model/alarm_attribute.h"
#include "query/alarm_query.h"

namespace nxjni {

enum class Conv { ok, incomplete, raised };

// Severity codes of the native side; 8 means no severity.
constexpr int kNoSeverity = 8;

// Resolves a managed object's name to its number (the service's key store).
using MoidLookup = int (*)(const std::string& object_name);
void set_moid_lookup(MoidLookup lookup);

}  // namespace nxjni

nxjni::Conv jobject2FilterList(JNIEnv* env, jobject query, AlarmQuery& out);
// Each attribute once, in the order first listed.
nxjni::Conv jobject2AttrSet(JNIEnv* env, jobject set, std::list<AlarmAttributeId>& out);
nxjni::Conv jobject2AlarmRcdId(JNIEnv* env, jobjectArray ids, std::list<std::string>& out);
nxjni::Conv jobject2MOName(JNIEnv* env, jobject mo_name, std::list<std::string>& out);
// Sets text to the severity's text and returns its code (1..6), or 8.
int jseverity2alarmSeverity(JNIEnv* env, jobject severity, std::string& text);
// The native identifier of a Java attribute code; raises for unknown codes.
int id2AttributeId(JNIEnv* env, int code);
// Splits "tag:value" (value unquoted); flag is 1 when the tag says number.
bool parseChoice(const std::string& text, char& flag, std::string& value);
