#include "db/table_specs.h"

#include "db/alarm_columns.h"

namespace {

// B blob first, E blob first and always present (empty text by default),
// T a time column, I an integer column.
constexpr AttrRule B = AttrRule::kBlobFirst;
constexpr AttrRule E = AttrRule::kBlobFirstAlways;
constexpr AttrRule T = AttrRule::kTime;
constexpr AttrRule I = AttrRule::kInt;

#define NX_STATE_RULES(ns)                          \
  {"ackState", B, ns::ackState}, \
  {"ackTime", T, ns::ackTime}, \
  {"ackOperator", E, ns::ackOperator}, \
  {"ackText", E, ns::ackText}, \
  {"clearState", B, ns::clearState}, \
  {"clearTime", T, ns::clearTime}, \
  {"clearOperator", E, ns::clearOperator}, \
  {"clearText", E, ns::clearText}, \
  {"displayState", B, ns::displayState}, \
  {"displayTime", T, ns::displayTime}, \
  {"displayOperator", E, ns::displayOperator}, \
  {"displayText", E, ns::displayText}

const AttrSource kAlarmRules[] = {
    {"perceivedSeverity", B, NxAlm::perceivedSeverity},
    {"backedUpStatus", B, NxAlm::backedUpStatus},
    {"backUpObject", B, NxAlm::backUpObject},
    {"trendIndication", B, NxAlm::trendIndication},
    NX_STATE_RULES(NxAlm),
    {"probableCause", B, NxAlm::probableCause_s},
    {"specificProblems", B, NxAlm::specificProblems_s},
    {"thresholdInfo", B, NxAlm::thresholdInfo_s},
    {"stateChangeDefinition", B, NxAlm::stateChangeDef_s},
    {"monitoredAttributes", B, NxAlm::monitoredAttributes_s},
    {"proposedRepairActions", B, NxAlm::proposedRepairActions_s},
};

const AttrSource kInternetRules[] = {
    {"perceivedSeverity", B, NxInt::perceivedSeverity},
    NX_STATE_RULES(NxInt),
    {"probableCause", B, NxInt::probableCause_s},
    {"attributeIdentifierList", B, NxInt::attributeIdList_s},
    {"objectInstanceList", B, NxInt::objectInstanceList_s},
    {"snmpVarBindList", B, NxInt::snmpVarBindList_s},
    {"internetTrapInfo", B, NxInt::internetTrapInfo_s},
    {"transportDomain", B, NxInt::transportDomain_s},
    {"accessControlInfo", B, NxInt::accessControlInfo_s},
};

const AttrSource kNerveCenterRules[] = {
    {"perceivedSeverity", B, NxNrvCt::perceivedSeverity},
    {"backedUpStatus", B, NxNrvCt::backedUpStatus},
    {"backUpObject", B, NxNrvCt::backUpObject},
    {"trendIndication", B, NxNrvCt::trendIndication},
    NX_STATE_RULES(NxNrvCt),
    {"mosiSeverity", I, NxNrvCt::mosiSeverity},
    {"mosiStateID", I, NxNrvCt::mosiStateID},
    {"probableCause", B, NxNrvCt::probableCause_s},
    {"specificProblems", B, NxNrvCt::specificProblems_s},
    {"thresholdInfo", B, NxNrvCt::thresholdInfo_s},
    {"stateChangeDefinition", B, NxNrvCt::stateChangeDef_s},
    {"monitoredAttributes", B, NxNrvCt::monitoredAttributes_s},
    {"proposedRepairActions", B, NxNrvCt::proposedRepairActions_s},
};

#undef NX_STATE_RULES

template <std::size_t N>
TableSpec spec(const char* code, const AttrSource (&sources)[N]) {
  return {code, sources, N};
}

}  // namespace

// Record-type codes of the log directory.
const TableSpec kAlarmTable = spec("nxAlm", kAlarmRules);
const TableSpec kInternetTable = spec("nxInt", kInternetRules);
const TableSpec kNerveCenterTable = spec("NrvCt", kNerveCenterRules);
