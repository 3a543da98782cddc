// getAlarmsInBatchesNative and stopGetAlarmsInBatchesNative.
#include <jni.h>

#include <string>
#include <vector>

#include "com_qel_nx_api_alarm_AlarmLogImpl.h"
#include "jni/batch.h"
#include "jni/convert.h"
#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/jni_calls.h"
#include "jni/native_support.h"
#include "jni/record_convert.h"
#include "jni/scoped_jni.h"
#include "platform/management_platform.h"

namespace {

enum { kNoBatch = 203 };


// Hands one batch to the Java event handler. A batch that cannot be built is
// skipped (location line); the retrieval goes on.
void send_batch(JNIEnv* env, const std::vector<jobject>& records, jint client_tag, jint batch_id) {
  const nxjni::NativeIds& n = nxjni::native_ids();
  ScopedLocalRef<jobjectArray> array(env, list2Array(env, records));
  if (!array) return;
  ScopedLocalRef<> batch(env, records.empty()
                                  ? nxjni::new_object(env, n.alarms_batch, n.batch_ctor_ints, client_tag, batch_id)
                                  : nxjni::new_object(env, n.alarms_batch, n.batch_ctor_records, array.get(), client_tag, batch_id));
  if (!batch) {
    location_line(kApiSource, kNoBatch);
    checkForException(env);
    return;
  }
  env->CallStaticBooleanMethod(n.event_handler, n.send_event, n.batch_event_key, batch.get());
  // A listener's exception must not leave the next JNI call with one pending.
  checkForException(env);
}

void release_records(JNIEnv* env, std::vector<jobject>& records) {
  for (jobject r : records) env->DeleteGlobalRef(r);
  records.clear();
}

}  // namespace

extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_getAlarmsInBatchesNative(
    JNIEnv* env, jobject, jobject log_name, jint batch_size, jint client_tag, jint batch_id, jobject query,
    jobject attr_set) {
  HviLock lock;
  std::shared_ptr<Batch> batch = Batch::find_or_create(batch_id);
  Batch::reap();

  // Records are turned into Java records as the reader hands them over, so the
  // retrieval holds one batch at a time, never the whole log.
  const auto limit = static_cast<std::size_t>(static_cast<unsigned>(batch_size));
  std::list<AlarmAttributeId> ids;
  bool record_failed = false;
  const auto take = [&](AlarmRecord& record) {
    if (batch->stopped()) return false;
    jobject jrecord = nxjni::new_global_java_record(env, log_name, record, ids, attr_set);
    if (!jrecord) {
      record_failed = true;
      return false;
    }
    if (batch->records.size() >= limit) {
      send_batch(env, batch->records, client_tag, batch_id);
      release_records(env, batch->records);
    }
    batch->records.push_back(jrecord);
    return true;
  };
  const nxjni::Load loaded = nxjni::streamAlarms(env, log_name, query, attr_set, ids, take);
  if (loaded != nxjni::Load::ok || record_failed) {
    // No closing batch: the client must not take what it got for the whole.
    // A load failure raised AlarmException; nothing sent is taken back.
    release_records(env, batch->records);
    Batch::remove(batch_id);
    return;
  }
  if (!batch->stopped()) send_batch(env, batch->records, client_tag, batch_id);
  release_records(env, batch->records);
  send_batch(env, Batch::EMPTY_BATCH, client_tag, batch_id);
  Batch::remove(batch_id);
  checkForException(env);
}

extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_stopGetAlarmsInBatchesNative(JNIEnv*, jobject,
                                                                                                      jint batch_id) {
  // Never the process-wide lock: the retrieval to stop holds it.
  Batch::request_stop(batch_id);
}
