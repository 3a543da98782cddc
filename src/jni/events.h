// Delivery of alarm-log events to Java: the callbacks the service runs on
// the platform's event thread, and the attribute list that chooses what
// events carry. The events of one run are packed as they come and handed to
// the Java side in one call at the run's end, where each reaches the
// registered handlers as an AlarmLogEvent of its own, in order.
#pragma once

#include <jni.h>

#include <list>

#include "model/alarm_attribute.h"

class AlarmRecord;

// Functions of the log-record callbacks; arg is the event's AlarmRecord.
void alarmCreationCallback(void* client_data, void* arg);
void alarmDeletionCallback(void* client_data, void* arg);
void alarmModificationCallback(void* client_data, void* arg);
// Events of the record's log were lost: arg names the log only.
void alarmResyncCallback(void* client_data, void* arg);
// The end of a run: what was packed goes to Java.
void alarmRunEndCallback(void* client_data, void* arg);

namespace nxjni {
// The event attribute list and set, replaced as a whole under their own guard.
void set_event_attributes(JNIEnv* env, std::list<AlarmAttributeId> ids, jobject set);
}  // namespace nxjni
