// What the natives that use the alarm service share: the service check,
// the log-name texts of a LogName, and reading records for a Java query.
#pragma once

#include <jni.h>

#include <cstddef>
#include <functional>
#include <string>

#include "jni/convert.h"
#include "jni/packed_stream.h"

class AlarmService;

namespace nxjni {

// The service, or null with AlarmException raised (before init).
AlarmService* require_service(JNIEnv* env);

// A String-returning method of a LogName; false (location line) on null,
// false with AlarmException raised for an object of another class.
bool log_name_text(JNIEnv* env, jobject log_name, jmethodID method, int check, std::string& out);
// The name text of an MOName, the same way.
bool mo_name_text(JNIEnv* env, jobject mo_name, int check, std::string& out);

enum class Load { ok, incomplete, raised };

// Converts the query and attribute set, then reads the wanted fields of the
// log's matching records on a worker thread, packed: each packed run goes to
// consume on the calling thread (see stream_packed for batches and stopping).
// Raises "Error while loading alarms" when the read fails (also after runs
// were handed over) or the query's condition is invalid; incomplete when a
// Java object was missing.
Load streamPackedAlarms(JNIEnv* env, jobject log_name, jobject query, jobject attr_set, std::size_t batch_limit,
                        const std::function<bool()>& stopped, const std::function<bool(PackedRun&)>& consume);

}  // namespace nxjni
