// Delivery of alarm-log events to Java: the three log-record callbacks the
// service runs on the platform's event thread, and the attribute list that
// chooses what events carry.
#pragma once

#include <jni.h>

#include <list>

#include "model/alarm_attribute.h"

class AlarmRecord;

// Functions of the three log-record callbacks; arg is the event's AlarmRecord.
void alarmCreationCallback(void* client_data, void* arg);
void alarmDeletionCallback(void* client_data, void* arg);
void alarmModificationCallback(void* client_data, void* arg);

namespace nxjni {
// Turns a record into an AlarmLogEvent of the given kind and hands it to
// EventHandler.sendEvent. Bounded local references: one frame per event.
void sendEvent(JNIEnv* env, int kind, const AlarmRecord& record);

// The event attribute list and set, replaced as a whole under their own guard.
void set_event_attributes(JNIEnv* env, std::list<AlarmAttributeId> ids, jobject set);
}  // namespace nxjni
