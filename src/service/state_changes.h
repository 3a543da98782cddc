// The six state changes of alarm records (acknowledge, clear, display and
// their reverses): the attribute values each writes, and writing them to a
// record's object on the MIS. AlarmService::change_state runs them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/alarm_attribute.h"

enum class StateChange { ack, clear, display, unack, unclear, undisplay };

// Attribute values to write, each in value notation.
using AttributeValues = std::vector<std::pair<AlarmAttributeId, std::string>>;

// The current local time as 14 digits (YYYYMMDDhhmmss), from the precise
// clock, so never the second before a time the caller read just before.
std::string state_change_time();

// What a change writes, in the order the MIS expects it. Only ack, clear and
// display take the text (null: none); time is 14 digits; user goes in as the
// operator. The reverses empty the operator and the time.
AttributeValues state_change_values(StateChange change, const std::string* text,
                                    const std::string& time, const std::string& user);

// The object name of a record from the texts a client names it by (plain or
// in value notation: "alpha" or name:"alpha", "AlarmLog" or number:2, "17"
// or number:17); empty when any of them is empty.
std::string record_object_name(const std::string& mis_name, const std::string& log_name,
                               const std::string& record_id);

// Writes the values to the object in one store; false, and nothing written,
// when the object cannot be read (an unknown record, an empty name) or the
// MIS refuses a value.
bool store_record_values(const std::string& object_name, const AttributeValues& values);
