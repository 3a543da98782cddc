#include "model/alarm_attribute.h"

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
