#include "jni/packed_records.h"

#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/locations.h"
#include "jni/jni_calls.h"

namespace nxjni {
namespace {

}  // namespace

PackedRecords::PackedRecords(JNIEnv* env, jobject log_name, jobject attr_set) : env_(env), assembler_(env, nullptr), buffer_(env, nullptr) {
  const JavaIds& a = java_ids();
  if (!a.assembler || !a.assembler_ctor || !a.assembler_add || !a.assembler_drain || !a.severity_array) {
    location_line(kApiSource, loc::kNoAssembler);
    return;
  }
  assembler_.reset(new_object(env, a.assembler, a.assembler_ctor, log_name, attr_set, a.severity_array));
  if (!assembler_) {
    location_line(kApiSource, loc::kNoAssembler);
    checkForException(env);
  }
}

bool PackedRecords::add(const PackedRun& run) {
  if (run.bytes.empty()) return true;
  const auto length = static_cast<jsize>(run.bytes.size());
  if (length > capacity_) {
    buffer_.reset(env_->NewByteArray(length));
    capacity_ = buffer_ ? length : 0;
    if (!buffer_) {
      location_line(kApiSource, loc::kNoBuffer);
      checkForException(env_);
      return false;
    }
  }
  env_->SetByteArrayRegion(buffer_.get(), 0, length, reinterpret_cast<const jbyte*>(run.bytes.data()));
  if (!call_void(env_, assembler_.get(), java_ids().assembler_add, buffer_.get(), length)) {
    location_line(kApiSource, loc::kAssemblyFailed);
    checkForException(env_);
    return false;
  }
  pending_ += run.records;
  return true;
}

jobjectArray PackedRecords::drain() {
  auto records = static_cast<jobjectArray>(call_object(env_, assembler_.get(), java_ids().assembler_drain));
  if (!records) {
    location_line(kApiSource, loc::kAssemblyFailed);
    checkForException(env_);
    return nullptr;
  }
  pending_ = 0;
  return records;
}

}  // namespace nxjni
