// The Java record's fields: which attribute fills which field and how its
// text converts. One table serves both record builders: the one that sets
// fields through JNI (events) and the packed form the Java side assembles
// (retrievals).
#pragma once

#include <jni.h>

#include <string>

#include "jni/java_ids.h"
#include "model/alarm_attribute.h"

namespace nxjni {

enum class FieldKind {
  kText,        // a String, set only when the text is not empty
  kTextAlways,  // a String, also when empty
  kState,       // Boolean.TRUE when the text is the field's state text
  kDateAlways,  // a Date, or null when the text does not convert
  kDateIfValid, // a Date, set only when the text converts
  kRecordId,    // an AlarmRecordId of a number choice
  kMoName,      // an MOName with id 0 and the text as name
  kSeverity,    // one of the shared severity objects
};

// Numbers of the plain fields (texts, states, dates) in the packed form.
enum FieldSlot {
  kSlotAckOperator, kSlotAckText, kSlotClearOperator, kSlotClearText, kSlotDisplayOperator,
  kSlotDisplayText, kSlotAdditionalText, kSlotEventType, kSlotProbableCause,
  kSlotAckState, kSlotClearState, kSlotDisplayState,
  kSlotAckTime, kSlotClearTime, kSlotDisplayTime, kSlotEventTime, kSlotLoggingTime,
  kSlotNone = -1,
};

struct JavaField {
  AlarmAttributeId id;
  FieldKind kind;
  FieldSlot slot;
  const char* state_text;                // kState only
  jfieldID JavaIds::*field;
  jobject JavaIds::*set_member;        // added to an event's attribute set; may be null
};

// The field of an attribute, or null when the Java record has none.
const JavaField* java_field(AlarmAttributeId id);

// The Date constructor's six arguments (year - 1900, month - 1, day, hour,
// minute, second) for a time text: fourteen digits, maybe after a prefix
// ending in a double quote; numbers that cannot be read stay 0. False for
// "NULL".
bool alarm_time_fields(const std::string& text, jint out[6]);

// Index of the text's severity object (creation order: critical, major,
// minor, warning, indeterminate), or -1.
int severity_index(const std::string& text);

// The number of a record identifier choice ("number:77" gives 77). Writes
// the catalog's complaint and the text to pfd and returns false for text
// that is no choice or not a number.
bool record_id_number(const std::string& text, jint& out);

}  // namespace nxjni
