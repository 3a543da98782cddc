#include "jni/native_support.h"

#include <list>
#include <vector>

#include "db/page_reader.h"
#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/locations.h"
#include "jni/java_text.h"
#include "jni/java_types.h"
#include "jni/jni_calls.h"
#include "jni/library_state.h"
#include "jni/query_order.h"
#include "jni/scoped_jni.h"
#include "query/alarm_query.h"
#include "service/alarm_service.h"

namespace nxjni {

AlarmService* require_service(JNIEnv* env) {
  AlarmService* service = nxjni::service.load(std::memory_order_acquire);
  if (!service || !init_done.load(std::memory_order_acquire)) {
    throw_alarm_exception(env, MSG_NOT_INITIALIZED);
    return nullptr;
  }
  begin_database_call();
  return service;
}

// The text of a String-returning method of obj; false (location line) on
// null, or with the refusal pending when the text is refused.
static bool method_text(JNIEnv* env, jobject log_name, jmethodID method, int check, const TextBound& bound,
                        std::string& out);

bool log_name_text(JNIEnv* env, jobject log_name, jmethodID method, int check, std::string& out) {
  if (!is_java_type(env, log_name, java_ids().log_name_class, "log name", "a LogName")) return false;
  return method_text(env, log_name, method, check, method == java_ids().log_name_mis ? kMisName : kLogName, out);
}

bool mo_name_text(JNIEnv* env, jobject mo_name, int check, std::string& out) {
  const JavaIds& n = java_ids();
  if (!is_java_type(env, mo_name, n.mo_name, "managed object name", "an MOName")) return false;
  return method_text(env, mo_name, n.mo_get_name, check, kMoName, out);
}

static bool method_text(JNIEnv* env, jobject log_name, jmethodID method, int check, const TextBound& bound,
                        std::string& out) {
  ScopedLocalRef<jstring> text(env, log_name ? static_cast<jstring>(call_object(env, log_name, method)) : nullptr);
  if (!text) {
    location_line(kApiSource, check);
    checkForException(env);
    return false;
  }
  return java_text(env, text.get(), bound, out);
}

namespace {

// The service, the log name, the query and the wanted attributes of a
// retrieval; ok when all could be had.
Load prepare(JNIEnv* env, jobject log_name, jobject query, jobject attr_set, AlarmService*& service,
             std::string& log, AlarmQuery& native_query, std::list<AlarmAttributeId>& ids) {
  service = require_service(env);
  if (!service) return Load::raised;
  if (!log_name_text(env, log_name, java_ids().log_name_full, loc::kRetrieveLogName, log)) return Load::incomplete;
  Conv c = jobject2FilterList(env, query, native_query);
  if (c == Conv::ok) {
    if (attr_set) {
      c = jobject2AttrSet(env, attr_set, ids);
    } else {
      location_line(kApiSource, loc::kNoAttributes);
    }
  }
  if (c == Conv::raised) return Load::raised;
  if (c == Conv::incomplete) return Load::incomplete;
  return Load::ok;
}

}  // namespace

Load streamPackedAlarms(JNIEnv* env, jobject log_name, jobject query, jobject attr_set, std::size_t batch_limit,
                        const std::function<bool()>& stopped, const std::function<bool(PackedRun&)>& consume) {
  AlarmService* service = nullptr;
  std::string log;
  AlarmQuery native_query;
  std::list<AlarmAttributeId> ids;
  const Load prepared = prepare(env, log_name, query, attr_set, service, log, native_query, ids);
  if (prepared != Load::ok) return prepared;
  RecordOrder order;
  switch (jobject2Order(env, query, order)) {
    case Conv::raised:
      return Load::raised;
    case Conv::incomplete:
      return Load::incomplete;
    case Conv::ok:
      break;
  }
  const std::vector<AlarmAttributeId> wanted(ids.begin(), ids.end());
  // The worker reads on behalf of this thread, which holds the process-wide
  // lock throughout: no other thread touches the reader's state meanwhile.
  const FieldRead read = [&](const std::function<bool(const RecordFields&)>& sink) {
    if (order.empty()) return service->stream_alarm_fields(log, native_query, wanted, sink);
    std::string condition;
    return native_query.create_sql_filter(condition) && read_log_ordered(log, condition, order, wanted, sink);
  };
  if (!stream_packed(read, batch_limit, stopped, consume)) {
    throw_alarm_exception(env, MSG_LOAD_FAILED);
    return Load::raised;
  }
  return Load::ok;
}

}  // namespace nxjni
