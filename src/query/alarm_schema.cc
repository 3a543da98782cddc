#include "query/alarm_schema.h"

AlarmSchema::AlarmSchema()
    : attr_to_column_map{
          {"accessControlInfo", "accessControlInfo_s"},
          {"ackOperator", "ackOperator"},
          {"ackState", "ackState"},
          {"ackText", "ackText"},
          {"ackTime", "ackTime"},
          {"additionalInformation", "additionalInfo_s"},
          {"additionalText", "additionalText"},
          {"attributeIdentifierList", "attributeIdList_s"},
          {"backUpObject", "backUpObject"},
          {"backedUpStatus", "backedUpStatus"},
          {"clearOperator", "clearOperator"},
          {"clearState", "clearState"},
          {"clearText", "clearText"},
          {"clearTime", "clearTime"},
          {"correlatedNotifications", "correlatedNotifications_s"},
          {"displayOperator", "displayOperator"},
          {"displayState", "displayState"},
          {"displayText", "displayText"},
          {"displayTime", "displayTime"},
          {"eventTime", "eventTime"},
          {"eventType", "eventName"},
          {"internetTrapInfo", "internetTrapInfo_s"},
          {"loggingTime", "loggingTime"},
          {"logRecordId", "logRecordId"},
          {"managedObjectClass", "MOC_s"},
          {"managedObjectInstance", "MOI_s"},
          {"monitoredAttributes", "monitoredAttributes_s"},
          {"mosiSeverity", "mosiSeverity"},
          {"mosiStateID", "mosiStateID"},
          {"notificationId", "notificationId"},
          {"objectInstanceList", "objectInstanceList_s"},
          {"perceivedSeverity", "perceivedSeverity"},
          {"probableCause", "probableCause_s"},
          {"proposedRepairActions", "proposedRepairActions_s"},
          {"snmpVarBindList", "snmpVarBindList_s"},
          {"specificProblems", "specificProblems_s"},
          {"stateChangeDefinition", "stateChangeDef_s"},
          {"thresholdInfo", "thresholdInfo_s"},
          {"transportDomain", "transportDomain_s"},
          {"trendIndication", "trendIndication"},
          // The Java binding's criteria on managed objects by database key.
          {"moid", "moi_id"},
      } {}

AlarmSchema* AlarmSchema::get_instance() {
  static AlarmSchema instance;
  return &instance;
}

std::string AlarmSchema::getColumnName(const std::string& attribute_name) const {
  auto it = attr_to_column_map.find(attribute_name);
  return it == attr_to_column_map.end() ? std::string() : it->second;
}
