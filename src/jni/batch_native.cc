// getAlarmsInBatchesNative and stopGetAlarmsInBatchesNative.
#include <jni.h>

#include <optional>
#include <string>
#include <vector>

#include "com_qel_nx_api_alarm_AlarmLogImpl.h"
#include "jni/batch.h"
#include "jni/convert.h"
#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/locations.h"
#include "jni/jni_calls.h"
#include "jni/native_support.h"
#include "jni/packed_records.h"
#include "jni/scoped_jni.h"
#include "platform/management_platform.h"

namespace {

// Hands one batch to the Java event handler: records, or the empty batch
// when records is null or has no element. A batch that cannot be built is
// skipped (location line); the retrieval goes on.
void send_batch(JNIEnv* env, jobjectArray records, jint client_tag, jint batch_id) {
  const nxjni::JavaIds& n = nxjni::java_ids();
  const bool empty = !records || env->GetArrayLength(records) == 0;
  ScopedLocalRef<> batch(env, empty ? nxjni::new_object(env, n.alarms_batch, n.batch_ctor_ints, client_tag, batch_id)
                                    : nxjni::new_object(env, n.alarms_batch, n.batch_ctor_records, records, client_tag,
                                                        batch_id));
  if (!batch) {
    location_line(kApiSource, loc::kNoBatch);
    checkForException(env);
    return;
  }
  env->CallStaticBooleanMethod(n.event_handler, n.send_event, n.batch_event_key, batch.get());
  // A listener's exception must not leave the next JNI call with one pending.
  checkForException(env);
}

}  // namespace

extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_getAlarmsInBatchesNative(
    JNIEnv* env, jobject, jobject log_name, jint batch_size, jint client_tag, jint batch_id, jobject query,
    jobject attr_set) {
  HviLock lock;
  std::shared_ptr<Batch> batch = Batch::find_or_create(batch_id);
  Batch::reap();

  // A worker reads and packs the records; the Java side makes the records of
  // one batch at a time from them, so the retrieval never holds the log.
  const auto limit = static_cast<std::size_t>(static_cast<unsigned>(batch_size));
  std::optional<nxjni::PackedRecords> packed;
  bool record_failed = false;
  // Sends the records made since the last batch (none: the empty batch).
  // Nothing is sent once the retrieval has been stopped.
  const auto send_pending = [&]() {
    if (batch->stopped()) return true;
    if (!packed || packed->pending() == 0) {
      send_batch(env, nullptr, client_tag, batch_id);
      return true;
    }
    ScopedLocalRef<jobjectArray> records(env, packed->drain());
    if (!records) return false;
    send_batch(env, records.get(), client_tag, batch_id);
    return true;
  };
  const auto take = [&](nxjni::PackedRun& run) {
    if (!packed) packed.emplace(env, log_name, attr_set);
    record_failed = !packed->ok() || !packed->add(run) || (run.batch_end && !send_pending());
    batch->pending = packed->ok() ? packed->pending() : 0;
    return !record_failed;
  };
  const auto stopped = [&batch]() { return batch->stopped(); };
  const nxjni::Load loaded = nxjni::streamPackedAlarms(env, log_name, query, attr_set, limit, stopped, take);
  if (loaded != nxjni::Load::ok || record_failed || (!batch->stopped() && !send_pending())) {
    // No closing batch: the client must not take what it got for the whole.
    // A load failure raised AlarmException; nothing sent is taken back.
    batch->pending = 0;
    Batch::remove(batch_id);
    return;
  }
  batch->pending = 0;
  send_batch(env, nullptr, client_tag, batch_id);
  Batch::remove(batch_id);
  checkForException(env);
}

extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_stopGetAlarmsInBatchesNative(JNIEnv*, jobject,
                                                                                                      jint batch_id) {
  // Never the process-wide lock: the retrieval to stop holds it.
  Batch::request_stop(batch_id);
}
