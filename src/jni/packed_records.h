// The Java records of one retrieval, made by the Java side's RecordAssembler
// from packed records handed over many at a time.
#pragma once

#include <jni.h>

#include <cstddef>

#include "jni/packed_stream.h"
#include "jni/scoped_jni.h"

namespace nxjni {

class PackedRecords {
 public:
  // A failure to set up leaves ok() false, with a location line written and
  // no exception pending.
  PackedRecords(JNIEnv* env, jobject log_name, jobject attr_set);
  PackedRecords(const PackedRecords&) = delete;
  PackedRecords& operator=(const PackedRecords&) = delete;

  bool ok() const { return static_cast<bool>(assembler_); }
  // Makes the records of a packed run. False when the Java side failed
  // (location line written, no exception pending): the retrieval must end.
  bool add(const PackedRun& run);
  // The records added since the last drain, as a new local AlarmRecord[];
  // null on failure, as for add.
  jobjectArray drain();
  // Records added since the last drain.
  std::size_t pending() const { return pending_; }

 private:
  JNIEnv* env_;
  ScopedLocalRef<> assembler_;
  ScopedLocalRef<jbyteArray> buffer_;
  jsize capacity_ = 0;
  std::size_t pending_ = 0;
};

}  // namespace nxjni
