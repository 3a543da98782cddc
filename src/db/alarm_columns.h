// Column names of the alarm-log database tables, one namespace per table
// type, with the select list of each. The common event columns are in
// every alarm table; each record type adds its own.
#pragma once

namespace CommonAttributes {
inline constexpr char loggingTime[] = "loggingtime";
inline constexpr char eventName[] = "eventname";
inline constexpr char MOC_s[] = "moc_s";
inline constexpr char MOI_s[] = "moi_s";
inline constexpr char eventTime[] = "eventtime";
inline constexpr char notificationId[] = "notificationid";
inline constexpr char correlatedNotifications_s[] = "correlatednotifs";
inline constexpr char additionalText[] = "additionaltext";
inline constexpr char additionalInfo_s[] = "additionalinfo_s";
inline constexpr char logRecType[] = "logrectype";
inline constexpr char logRecordId[] = "logrecordid";
inline constexpr char blob[] = "blob";
inline constexpr char common_list[] =
    "loggingtime, eventname, moc_s, moi_s, eventtime, notificationid,"
    "      correlatednotifs, additionaltext, additionalinfo_s, logrectype,"
    "      logrecordid, blob";
}  // namespace CommonAttributes

// The three state groups shared by every alarm table type.
#define NX_STATE_COLUMNS                                  \
  inline constexpr char ackState[] = "ackstate";          \
  inline constexpr char ackTime[] = "acktime";            \
  inline constexpr char ackOperator[] = "ackoperator";    \
  inline constexpr char ackText[] = "acktext";            \
  inline constexpr char clearState[] = "clearstate";      \
  inline constexpr char clearTime[] = "cleartime";        \
  inline constexpr char clearOperator[] = "clearoperator"; \
  inline constexpr char clearText[] = "cleartext";        \
  inline constexpr char displayState[] = "displaystate";  \
  inline constexpr char displayTime[] = "displaytime";    \
  inline constexpr char displayOperator[] = "displayoperator"; \
  inline constexpr char displayText[] = "displaytext";

namespace NxAlm {
inline constexpr char probableCause_s[] = "probablecause_s";
inline constexpr char perceivedSeverity[] = "perceivedseverity";
inline constexpr char specificProblems_s[] = "specificproblems";
inline constexpr char backedUpStatus[] = "backedupstatus";
inline constexpr char backUpObject[] = "backupobject";
inline constexpr char trendIndication[] = "trendindication";
inline constexpr char thresholdInfo_s[] = "thresholdinfo_s";
inline constexpr char stateChangeDef_s[] = "statechangedef_s";
inline constexpr char monitoredAttributes_s[] = "monitoredattribs";
inline constexpr char proposedRepairActions_s[] = "proposedrpracts";
NX_STATE_COLUMNS
inline constexpr char attr_list[] =
    "probablecause_s, perceivedseverity, specificproblems, backedupstatus,"
    "      backupobject, trendindication, thresholdinfo_s, statechangedef_s,"
    "      monitoredattribs, proposedrpracts, ackstate, acktime, ackoperator,"
    "      acktext, clearstate, cleartime, clearoperator, cleartext, displaystate,"
    "      displaytime, displayoperator, displaytext";
}  // namespace NxAlm

namespace NxInt {
inline constexpr char probableCause_s[] = "probablecause_s";
inline constexpr char attributeIdList_s[] = "attributeidlist_s";
inline constexpr char objectInstanceList_s[] = "objectinstancelsts";
inline constexpr char snmpVarBindList_s[] = "snmpvarbindlist_s";
inline constexpr char internetTrapInfo_s[] = "internettrapinfo_s";
inline constexpr char perceivedSeverity[] = "perceivedseverity";
inline constexpr char transportDomain_s[] = "transportdomain_s";
inline constexpr char accessControlInfo_s[] = "accesscontrolinfos";
NX_STATE_COLUMNS
inline constexpr char attr_list[] =
    "probablecause_s, attributeidlist_s, objectinstancelsts,"
    "      snmpvarbindlist_s, internettrapinfo_s, perceivedseverity,"
    "      transportdomain_s, accesscontrolinfos, ackstate, acktime, ackoperator,"
    "      acktext, clearstate, cleartime, clearoperator, cleartext, displaystate,"
    "      displaytime, displayoperator, displaytext";
}  // namespace NxInt

namespace NxNrvCt {
inline constexpr char probableCause_s[] = "probablecause_s";
inline constexpr char perceivedSeverity[] = "perceivedseverity";
inline constexpr char specificProblems_s[] = "specificproblems_s";
inline constexpr char backedUpStatus[] = "backedupstatus";
inline constexpr char backUpObject[] = "backupobject";
inline constexpr char trendIndication[] = "trendindication";
inline constexpr char thresholdInfo_s[] = "thresholdinfo_s";
inline constexpr char stateChangeDef_s[] = "statechangedef_s";
inline constexpr char monitoredAttributes_s[] = "monitoredattribs";
inline constexpr char proposedRepairActions_s[] = "proposedrpractions";
NX_STATE_COLUMNS
inline constexpr char mosiSeverity[] = "mosiseverity";
inline constexpr char mosiStateID[] = "mosistateid";
inline constexpr char attr_list[] =
    "probablecause_s, perceivedseverity, specificproblems_s, backedupstatus,"
    "      backupobject, trendindication, thresholdinfo_s, statechangedef_s,"
    "      monitoredattribs, proposedrpractions, ackstate, acktime, ackoperator,"
    "      acktext, clearstate, cleartime, clearoperator, cleartext, displaystate,"
    "      displaytime, displayoperator, displaytext, mosiseverity, mosistateid";
}  // namespace NxNrvCt

#undef NX_STATE_COLUMNS

// Record types whose tables the readers do not query; kept for completeness
// of the schema.
namespace NxObCre {
inline constexpr char sourceIndicator[] = "sourceindicator";
inline constexpr char attributeList_s[] = "attributelist_s";
inline constexpr char attr_list[] = "sourceindicator, attributelist_s";
}  // namespace NxObCre

namespace NxObDel {
inline constexpr char sourceIndicator[] = "sourceindicator";
inline constexpr char attributeList_s[] = "attributelist_s";
inline constexpr char attr_list[] = "sourceindicator, attributelist_s";
}  // namespace NxObDel

namespace NxRelCh {
inline constexpr char relationChangeDef_s[] = "relationchangedefs";
inline constexpr char sourceIndicator[] = "sourceindicator";
inline constexpr char attributeIdList_s[] = "attributeidlist_s";
inline constexpr char attr_list[] = "relationchangedefs, sourceindicator, attributeidlist_s";
}  // namespace NxRelCh

namespace NxAVChR {
inline constexpr char attrValChangeDef_s[] = "attrvalchangedefs";
inline constexpr char sourceIndicator[] = "sourceindicator";
inline constexpr char attributeIdList_s[] = "attributeidlist_s";
inline constexpr char attr_list[] = "attrvalchangedefs, sourceindicator, attributeidlist_s";
}  // namespace NxAVChR

namespace NxSecur {
inline constexpr char securityAlarmCause_s[] = "securityalmcauses";
inline constexpr char securityAlarmSeverity[] = "securityalmseverty";
inline constexpr char securityAlarmDetector_s[] = "securityalmdtectrs";
inline constexpr char serviceUser_s[] = "serviceuser_s";
inline constexpr char serviceProvider_s[] = "serviceprovider_s";
inline constexpr char attr_list[] =
    "securityalmcauses, securityalmseverty, securityalmdtectrs,"
    "      serviceuser_s, serviceprovider_s";
}  // namespace NxSecur

namespace NxStChg {
inline constexpr char stateChangeDef_s[] = "statechangedef_s";
inline constexpr char sourceIndicator[] = "sourceindicator";
inline constexpr char attributeIdList_s[] = "attributeidlist_s";
inline constexpr char attr_list[] = "statechangedef_s, sourceindicator, attributeidlist_s";
}  // namespace NxStChg
