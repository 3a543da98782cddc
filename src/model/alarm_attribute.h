// Alarm attribute identifiers, their names, and AlarmAttribute, the key
// type of every attribute map.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>

// The numbers are part of the interfaces (the Java binding converts its
// attribute codes to them), so they follow the attribute table exactly.
enum AlarmAttributeId : int {
  ATTR_NONE = 0,
  ATTR_ACCESS_CONTROL_INFO = 1,
  ATTR_ACK_OPERATOR = 2,
  ATTR_ACK_STATE = 3,
  ATTR_ACK_TEXT = 4,
  ATTR_ACK_TIME = 5,
  ATTR_ADDITIONAL_INFORMATION = 6,
  ATTR_ADDITIONAL_TEXT = 7,
  ATTR_ATTRIBUTE_IDENTIFIER_LIST = 8,
  ATTR_BACK_UP_OBJECT = 9,
  ATTR_BACKED_UP_STATUS = 10,
  ATTR_CLEAR_OPERATOR = 11,
  ATTR_CLEAR_STATE = 12,
  ATTR_CLEAR_TEXT = 13,
  ATTR_CLEAR_TIME = 14,
  ATTR_CORRELATED_NOTIFICATIONS = 15,
  ATTR_DISPLAY_OPERATOR = 16,
  ATTR_DISPLAY_STATE = 17,
  ATTR_DISPLAY_TEXT = 18,
  ATTR_DISPLAY_TIME = 19,
  ATTR_EVENT_TIME = 20,
  ATTR_EVENT_TYPE = 21,
  ATTR_INTERNET_TRAP_INFO = 22,
  ATTR_LOGGING_TIME = 23,
  ATTR_LOG_RECORD_ID = 24,
  ATTR_MANAGED_OBJECT_CLASS = 25,
  ATTR_MANAGED_OBJECT_INSTANCE = 26,
  ATTR_MONITORED_ATTRIBUTES = 27,
  ATTR_MOSI_SEVERITY = 28,
  ATTR_MOSI_STATE_ID = 29,
  ATTR_NOTIFICATION_ID = 30,
  ATTR_OBJECT_INSTANCE_LIST = 31,
  ATTR_PERCEIVED_SEVERITY = 32,
  ATTR_PROBABLE_CAUSE = 33,
  ATTR_PROPOSED_REPAIR_ACTIONS = 34,
  ATTR_SNMP_VAR_BIND_LIST = 35,
  ATTR_SPECIFIC_PROBLEMS = 36,
  ATTR_STATE_CHANGE_DEFINITION = 37,
  ATTR_THRESHOLD_INFO = 38,
  ATTR_TRANSPORT_DOMAIN = 39,
  ATTR_TREND_INDICATION = 40,
  // Not a record attribute: the Java binding's code for a record's log name.
  ATTR_LOG_NAME = 41,
};

constexpr int ALARM_ATTRIBUTE_ID_COUNT = 42;

class AlarmAttribute {
 public:
  AlarmAttribute(const AlarmAttributeId& id) : id_(id) {}  // NOLINT(google-explicit-constructor)
  AlarmAttribute(const AlarmAttribute& other) = default;
  // An unknown name gives the attribute holding ATTR_NONE.
  AlarmAttribute(const std::string& name) : id_(get_attribute_id(name)) {}  // NOLINT
  AlarmAttribute& operator=(const AlarmAttribute& other) = default;

  bool operator==(const AlarmAttribute& other) const { return id_ == other.id_; }
  bool operator!=(const AlarmAttribute& other) const { return id_ != other.id_; }

  AlarmAttributeId get_attribute_nameid() const { return id_; }
  std::string get_attribute_name() const { return get_attribute_name(id_); }

  // Names of 1 to 40; the empty text for every other value.
  static std::string get_attribute_name(const AlarmAttributeId& id);
  // The first attribute (24 excepted) whose name occurs within the text, so
  // a document-qualified name is still recognised; ATTR_NONE when none does.
  static AlarmAttributeId get_attribute_id(const std::string& name);

 private:
  AlarmAttributeId id_;
};

// The identifier is the hash of an attribute in every attribute map.
struct AlarmAttributeHash {
  std::size_t operator()(const AlarmAttribute& a) const noexcept {
    return static_cast<std::size_t>(a.get_attribute_nameid());
  }
};

namespace std {
template <>
struct hash<AlarmAttribute> {
  std::size_t operator()(const AlarmAttribute& a) const noexcept {
    return AlarmAttributeHash()(a);
  }
};
}  // namespace std

// Attribute to value text.
using AlarmAttributeMap = std::unordered_map<AlarmAttribute, std::string, AlarmAttributeHash>;
