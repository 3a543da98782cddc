// RAII holders for what a native method obtains from the VM, so every
// return path releases it: local references, array elements and local
// frames. Texts of Java strings come through java_text (java_text.h).
#pragma once

#include <jni.h>

#include <string>
#include <utility>

// A local reference deleted at scope end.
template <typename T = jobject>
class ScopedLocalRef {
 public:
  ScopedLocalRef(JNIEnv* env, T ref) : env_(env), ref_(ref) {}
  ~ScopedLocalRef() { reset(); }
  ScopedLocalRef(const ScopedLocalRef&) = delete;
  ScopedLocalRef& operator=(const ScopedLocalRef&) = delete;
  ScopedLocalRef(ScopedLocalRef&& other) noexcept : env_(other.env_), ref_(other.release()) {}

  T get() const { return ref_; }
  explicit operator bool() const { return ref_ != nullptr; }
  T release() { return std::exchange(ref_, nullptr); }
  void reset(T ref = nullptr) {
    if (ref_) env_->DeleteLocalRef(ref_);
    ref_ = ref;
  }

 private:
  JNIEnv* env_;
  T ref_;
};

// The elements of a Java byte array, released at scope end with the given
// mode (JNI_ABORT: nothing copied back).
class ScopedByteArrayElements {
 public:
  ScopedByteArrayElements(JNIEnv* env, jbyteArray a, jint release_mode = JNI_ABORT)
      : env_(env), a_(a), mode_(release_mode),
        bytes_(a ? env->GetByteArrayElements(a, nullptr) : nullptr) {}
  ~ScopedByteArrayElements() {
    if (bytes_) env_->ReleaseByteArrayElements(a_, bytes_, mode_);
  }
  ScopedByteArrayElements(const ScopedByteArrayElements&) = delete;
  ScopedByteArrayElements& operator=(const ScopedByteArrayElements&) = delete;

  jbyte* get() const { return bytes_; }
  explicit operator bool() const { return bytes_ != nullptr; }

 private:
  JNIEnv* env_;
  jbyteArray a_;
  jint mode_;
  jbyte* bytes_;
};

// A local reference frame: bounds the local references made in one turn of
// a loop (one record, one event) however many records there are.
class ScopedLocalFrame {
 public:
  ScopedLocalFrame(JNIEnv* env, jint capacity) : env_(env), pushed_(env->PushLocalFrame(capacity) == 0) {}
  ~ScopedLocalFrame() {
    if (pushed_) env_->PopLocalFrame(nullptr);
  }
  ScopedLocalFrame(const ScopedLocalFrame&) = delete;
  ScopedLocalFrame& operator=(const ScopedLocalFrame&) = delete;

  bool ok() const { return pushed_; }
  // Pops the frame, keeping one reference alive in the enclosing frame.
  jobject pop_keeping(jobject keep) {
    if (!pushed_) return keep;
    pushed_ = false;
    return env_->PopLocalFrame(keep);
  }

 private:
  JNIEnv* env_;
  bool pushed_;
};
