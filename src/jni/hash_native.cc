// getHashValueNative: hash_fct over a Java byte array.
#include <jni.h>

#include "com_qel_nx_api_alarm_AlarmLogImpl.h"
#include "jni/hash.h"
#include "jni/java_ids.h"
#include "jni/java_types.h"
#include "jni/java_lookup.h"
#include "jni/locations.h"
#include "jni/scoped_jni.h"
#include "platform/management_platform.h"

extern "C" JNIEXPORT jint JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_getHashValueNative(
    JNIEnv* env, jobject, jbyteArray bytes) {
  HviLock lock;
  if (!bytes) {
    location_line(kApiSource, loc::kNullArray);
    return 0;
  }
  // Works before init, like the hash itself: the ids are resolved at load.
  const nxjni::JavaIds& n = nxjni::java_ids();
  if (!nxjni::is_java_type(env, bytes, n.byte_array, "hash input", "a byte[]")) return 0;
  const jsize length = env->GetArrayLength(bytes);
  ScopedByteArrayElements elements(env, bytes, JNI_ABORT);
  if (!elements) {
    location_line(kApiSource, loc::kNoElements);
    checkForException(env);
    return 0;
  }
  const std::uint32_t h = hash_fct(reinterpret_cast<const unsigned char*>(elements.get()), length);
  return static_cast<jint>(h);
}
