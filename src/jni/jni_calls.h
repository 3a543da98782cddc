// JNI calls that run Java code (methods and constructors). JNI requires an
// exception check right after each before any other JNI call; these make it
// at once. A thrown exception gives a null, false or 0 result and stays
// pending for the caller's checkForException.
#pragma once

#include <jni.h>

namespace nxjni {

inline jobject checked(JNIEnv* env, jobject result) {
  if (!env->ExceptionCheck()) return result;
  if (result) env->DeleteLocalRef(result);
  return nullptr;
}

template <typename... Args>
jobject call_object(JNIEnv* env, jobject obj, jmethodID m, Args... args) {
  return checked(env, env->CallObjectMethod(obj, m, args...));
}

template <typename... Args>
jobject new_object(JNIEnv* env, jclass cls, jmethodID m, Args... args) {
  return checked(env, env->NewObject(cls, m, args...));
}

template <typename... Args>
bool call_boolean(JNIEnv* env, jobject obj, jmethodID m, Args... args) {
  const jboolean result = env->CallBooleanMethod(obj, m, args...);
  return !env->ExceptionCheck() && result;
}

// False when the call threw.
template <typename... Args>
bool call_void(JNIEnv* env, jobject obj, jmethodID m, Args... args) {
  env->CallVoidMethod(obj, m, args...);
  return !env->ExceptionCheck();
}

}  // namespace nxjni
