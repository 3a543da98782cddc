// AlarmTable.getDatabaseParametersNative and getBlobValueNative: raw material
// for clients that work with the alarm database directly.
#include <jni.h>

#include <cstring>

#include "com_qel_nx_api_alarm_AlarmLogImpl.h"
#include "com_qel_nx_api_alarm_AlarmTable.h"
#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/locations.h"
#include "jni/java_strings.h"
#include "jni/java_text.h"
#include "jni/java_types.h"
#include "jni/jni_calls.h"
#include "jni/library_state.h"
#include "jni/native_support.h"
#include "jni/scoped_jni.h"
#include "platform/alarm_database.h"
#include "platform/management_platform.h"

extern "C" JNIEXPORT jobject JNICALL Java_com_qel_nx_api_alarm_AlarmTable_getDatabaseParametersNative(
    JNIEnv* env, jobject, jstring server_name) {
  HviLock lock;
  // Needs no service: usable before init, like the hash.
  const nxjni::JavaIds& n = nxjni::java_ids();
  if (!nxjni::is_java_type(env, server_name, n.string, "server name", "a String")) return nullptr;
  if (!server_name) {
    location_line(kApiSource, loc::kNoServerName);
    return nullptr;
  }
  std::string name;
  if (!nxjni::java_text(env, server_name, nxjni::kServerName, name)) return nullptr;
  const NXDBConnectInfo info(name, NXDB_ALARM_LOG_SERVICE);
  ScopedLocalRef<jstring> f2(env, nxjni::new_java_string(env, info.field(2)));
  ScopedLocalRef<jstring> f5(env, nxjni::new_java_string(env, info.field(5)));
  ScopedLocalRef<jstring> f3(env, nxjni::new_java_string(env, info.field(3)));
  ScopedLocalRef<jstring> f4(env, nxjni::new_java_string(env, info.field(4)));
  if (!f2 || !f5 || !f3 || !f4) {
    location_line(kApiSource, loc::kNoInfo);
    checkForException(env);
    return nullptr;
  }
  jobject result = nxjni::new_object(env, n.database_info, n.database_info_ctor, f2.get(), f5.get(), f3.get(), f4.get());
  if (!result) {
    location_line(kApiSource, loc::kNoInfo);
    checkForException(env);
  }
  return result;
}

extern "C" JNIEXPORT jbyteArray JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_getBlobValueNative(JNIEnv* env, jobject,
                                                                                                 jobject mo_name) {
  HviLock lock;
  std::string name;
  if (!mo_name || !nxjni::mo_name_text(env, mo_name, loc::kInfoNullMoName, name)) {
    if (!mo_name) location_line(kApiSource, loc::kInfoNullMoName);
    return nullptr;
  }
  const DataUnit encoding = fdn2oi(DataUnit(name)).encoding();
  jbyteArray bytes = env->NewByteArray(static_cast<jsize>(encoding.size()));
  if (!bytes) {
    location_line(kApiSource, loc::kNoBytes);
    checkForException(env);
    return nullptr;
  }
  if (encoding.size() > 0) {
    env->SetByteArrayRegion(bytes, 0, static_cast<jsize>(encoding.size()), reinterpret_cast<const jbyte*>(encoding.data()));
  }
  return bytes;
}
