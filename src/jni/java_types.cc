#include "jni/java_types.h"

#include <string>

#include "jni/java_lookup.h"
#include "jni/scoped_jni.h"

namespace nxjni {

bool is_java_type(JNIEnv* env, jobject obj, jclass cls, const char* what, const char* expected) {
  if (!obj) return true;
  if (cls && env->IsInstanceOf(obj, cls)) return true;
  const std::string text = catalog_format(cls ? MSG_WRONG_TYPE : MSG_WRONG_TYPE_NO_CLASS, what, expected);
  throw_alarm_exception(env, text.c_str());
  return false;
}

bool are_java_types(JNIEnv* env, jobjectArray array, jclass cls, const char* what, const char* expected) {
  const jsize n = array ? env->GetArrayLength(array) : 0;
  for (jsize i = 0; i < n; ++i) {
    ScopedLocalRef<> element(env, env->GetObjectArrayElement(array, i));
    if (!is_java_type(env, element.get(), cls, what, expected)) return false;
  }
  return true;
}

}  // namespace nxjni
