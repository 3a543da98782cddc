// setEventAttrSetNative: chooses the attributes alarm-log events carry.
#include <jni.h>

#include "com_qel_nx_api_alarm_AlarmLogImpl.h"
#include "jni/convert.h"
#include "jni/events.h"

extern "C" JNIEXPORT void JNICALL Java_com_qel_nx_api_alarm_AlarmLogImpl_setEventAttrSetNative(JNIEnv* env, jobject,
                                                                                               jobject set) {
  // No process-wide lock: the list has a guard of its own, replaced whole.
  std::list<AlarmAttributeId> ids;
  if (set) {
    switch (jobject2AttrSet(env, set, ids)) {
      case nxjni::Conv::raised:
        return;
      case nxjni::Conv::incomplete:
        ids.clear();  // a partial list would describe a set nobody asked for
        break;
      case nxjni::Conv::ok:
        break;
    }
  }
  nxjni::set_event_attributes(env, std::move(ids), set);
}
