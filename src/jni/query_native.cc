// getSqlQueryNative: the SQL condition a Java query gives.
#include <jni.h>

#include "com_qel_nx_api_alarm_AlarmLogImpl.h"
#include "jni/convert.h"
#include "jni/java_lookup.h"
#include "jni/java_strings.h"
#include "platform/management_platform.h"
#include "query/alarm_query.h"

extern "C" JNIEXPORT jstring JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_getSqlQueryNative(JNIEnv* env, jobject,
                                                                                              jobject jquery) {
  HviLock lock;
  AlarmQuery query;
  switch (jobject2FilterList(env, jquery, query)) {
    case nxjni::Conv::raised:
      return nullptr;
    case nxjni::Conv::incomplete:
      // Showing the condition of part of a query would mislead.
      nxjni::throw_alarm_exception(env, nxjni::MSG_QUERY_NULL);
      return nullptr;
    case nxjni::Conv::ok:
      break;
  }
  std::string condition;
  if (!query.create_sql_filter(condition)) {
    nxjni::throw_alarm_exception(env, nxjni::MSG_QUERY_NO_SQL);
    return nullptr;
  }
  return nxjni::new_java_string(env, condition);
}
