#include "jni/query_order.h"

#include <string>
#include <vector>

#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/jni_calls.h"
#include "jni/locations.h"
#include "jni/messages.h"
#include "jni/scoped_jni.h"
#include "model/alarm_attribute.h"

namespace nxjni {

namespace {

Conv refuse(JNIEnv* env, const std::string& what) {
  throw_alarm_exception(env, catalog_format(MSG_ORDER_KEY, what.c_str()).c_str());
  return Conv::raised;
}

}  // namespace

Conv jobject2Order(JNIEnv* env, jobject query, RecordOrder& order) {
  if (!query) return Conv::ok;
  ScopedLocalRef<jintArray> codes(env, static_cast<jintArray>(call_object(env, query, java_ids().query_order_codes)));
  if (!codes) {
    if (env->ExceptionCheck()) return Conv::raised;
    location_line(kConvertSource, loc::kNullOrderCodes);
    return Conv::incomplete;
  }
  const jsize n = env->GetArrayLength(codes.get());
  if (n % 2 != 0) return refuse(env, "an odd list of key codes");
  std::vector<jint> pairs(static_cast<std::size_t>(n));
  env->GetIntArrayRegion(codes.get(), 0, n, pairs.data());
  if (env->ExceptionCheck()) return Conv::raised;
  for (std::size_t i = 0; i < pairs.size(); i += 2) {
    const int id = id2AttributeId(env, pairs[i]);
    if (env->ExceptionCheck()) return Conv::raised;
    const std::string name = AlarmAttribute::get_attribute_name(static_cast<AlarmAttributeId>(id));
    if (!order.add(name, pairs[i + 1] != 0)) return refuse(env, name.empty() ? std::to_string(pairs[i]) : name);
  }
  return Conv::ok;
}

}  // namespace nxjni
