#include "model/alarm_attribute.h"

#include <string_view>
#include <unordered_map>

namespace {

// Indexed by identifier; 0 and 41 have no name.
const char* const kAttributeNames[ALARM_ATTRIBUTE_ID_COUNT] = {
    "",
    "accessControlInfo",
    "ackOperator",
    "ackState",
    "ackText",
    "ackTime",
    "additionalInformation",
    "additionalText",
    "attributeIdentifierList",
    "backUpObject",
    "backedUpStatus",
    "clearOperator",
    "clearState",
    "clearText",
    "clearTime",
    "correlatedNotifications",
    "displayOperator",
    "displayState",
    "displayText",
    "displayTime",
    "eventTime",
    "eventType",
    "internetTrapInfo",
    "loggingTime",
    "logRecordId",
    "managedObjectClass",
    "managedObjectInstance",
    "monitoredAttributes",
    "mosiSeverity",
    "mosiStateID",
    "notificationId",
    "objectInstanceList",
    "perceivedSeverity",
    "probableCause",
    "proposedRepairActions",
    "snmpVarBindList",
    "specificProblems",
    "stateChangeDefinition",
    "thresholdInfo",
    "transportDomain",
    "trendIndication",
    "",
};

}  // namespace

std::string AlarmAttribute::get_attribute_name(const AlarmAttributeId& id) {
  const int n = static_cast<int>(id);
  if (n < ATTR_ACCESS_CONTROL_INFO || n > ATTR_TREND_INDICATION) return std::string();
  return kAttributeNames[n];
}

AlarmAttributeId AlarmAttribute::get_attribute_id(const std::string& name) {
  // Readers pass bare names for every attribute of every record: answer
  // those from a map. Since no name of the table occurs within another, an
  // exact match is what the walk below would find too.
  static const auto* exact = [] {
    auto* map = new std::unordered_map<std::string_view, AlarmAttributeId>;
    for (int n = ATTR_ACCESS_CONTROL_INFO; n <= ATTR_TREND_INDICATION; ++n) {
      if (n != ATTR_LOG_RECORD_ID) map->emplace(kAttributeNames[n], static_cast<AlarmAttributeId>(n));
    }
    return map;
  }();
  if (const auto it = exact->find(name); it != exact->end()) return it->second;
  for (int n = ATTR_ACCESS_CONTROL_INFO; n <= ATTR_TREND_INDICATION; ++n) {
    // The record identifier lives outside the attribute map, so its name
    // is deliberately not recognised.
    if (n == ATTR_LOG_RECORD_ID) continue;
    if (name.find(kAttributeNames[n]) != std::string::npos) {
      return static_cast<AlarmAttributeId>(n);
    }
  }
  return ATTR_NONE;
}
