// What the natives that use the alarm service share: the service check,
// the log-name texts of a LogName, and loading records for a Java query.
#pragma once

#include <jni.h>

#include <functional>
#include <list>
#include <string>

#include "jni/convert.h"
#include "model/alarm_attribute.h"
#include "jni/packed_stream.h"
#include "model/alarm_record.h"

class AlarmService;

namespace nxjni {

// The service, or null with AlarmException raised (before init).
AlarmService* require_service(JNIEnv* env);

// A String-returning method of a LogName; false (location line) on null.
bool log_name_text(JNIEnv* env, jobject log_name, jmethodID method, int check, std::string& out);

enum class Load { ok, incomplete, raised };

// Converts the query and attribute set and loads the matching records of
// the log. Raises "Error while loading alarms" when the load fails or the
// query's condition is invalid; incomplete when a Java object was missing.
Load loadAlarms(JNIEnv* env, jobject log_name, jobject query, jobject attr_set,
                std::list<AlarmRecord>& records, std::list<AlarmAttributeId>& ids);

// The same records, read and packed on a worker thread: each packed run
// goes to consume on the calling thread (see stream_packed for batches and
// stopping). A failure after runs were handed over still raises "Error while
// loading alarms".
Load streamPackedAlarms(JNIEnv* env, jobject log_name, jobject query, jobject attr_set, std::size_t batch_limit,
                        const std::function<bool()>& stopped, const std::function<bool(PackedRun&)>& consume);

}  // namespace nxjni
