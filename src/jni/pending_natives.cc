// Natives whose service is not in this build yet. Each refuses with a clear
// AlarmException rather than returning an empty result that looks real.
#include <jni.h>

#include <string>

#include "com_qel_nx_api_alarm_AlarmLogImpl.h"
#include "com_qel_nx_api_alarm_AlarmTable.h"
#include "jni/java_lookup.h"
#include "platform/management_platform.h"

namespace {
void not_built(JNIEnv* env, const char* method) {
  HviLock lock;
  const std::string text = std::string(method) + ": not available in this build yet";
  nxjni::throw_alarm_exception(env, text.c_str());
}
}  // namespace

#define NX_PENDING(ret, name, value, ...)                                                    \
  extern "C" JNIEXPORT ret JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_##name(JNIEnv* env, \
                                                                                jobject, __VA_ARGS__) { \
    not_built(env, #name);                                                                    \
    return value;                                                                             \
  }
#define NX_PENDING_VOID(name, ...)                                                           \
  extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_##name(JNIEnv* env, \
                                                                                 jobject, __VA_ARGS__) { \
    not_built(env, #name);                                                                    \
  }

NX_PENDING_VOID(init, jstring, jobject)
NX_PENDING_VOID(addLogNameNative, jobject)
NX_PENDING(jobjectArray, getAlarmsNative, nullptr, jobject, jobject, jobject)
NX_PENDING_VOID(getAlarmsInBatchesNative, jobject, jint, jint, jint, jobject, jobject)
NX_PENDING_VOID(stopGetAlarmsInBatchesNative, jint)
NX_PENDING(jint, getAlarmCountNative, 0, jobject, jobject)
NX_PENDING(jintArray, getAlarmCountBySeverityNative, nullptr, jobject, jobjectArray, jobjectArray)
NX_PENDING_VOID(setAckAlarmsNative, jobject, jobjectArray, jobjectArray)
NX_PENDING_VOID(setClearAlarmsNative, jobject, jobjectArray, jobjectArray)
NX_PENDING_VOID(setDisplayAlarmsNative, jobject, jobjectArray, jobjectArray)
NX_PENDING_VOID(setUnAckAlarmsNative, jobject, jobjectArray)
NX_PENDING_VOID(setUnClearAlarmsNative, jobject, jobjectArray)
NX_PENDING_VOID(setUnDisplayAlarmsNative, jobject, jobjectArray)
NX_PENDING_VOID(clearAlarmsNative, jobject, jobjectArray)
NX_PENDING_VOID(deleteAlarmsNative, jobject, jobjectArray)
NX_PENDING_VOID(setEventAttrSetNative, jobject)
NX_PENDING(jbyteArray, getBlobValueNative, nullptr, jobject)

extern "C" JNIEXPORT jobject JNICALL Java_com_qel_nx_api_alarm_AlarmTable_getDatabaseParametersNative(
    JNIEnv* env, jobject, jstring) {
  not_built(env, "getDatabaseParametersNative");
  return nullptr;
}
