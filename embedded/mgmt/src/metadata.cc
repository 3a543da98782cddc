// The metadata of this platform: the types it knows and the names of the
// attributes, notifications and object classes it registers.
//
// Identifiers. The X.721 items use their standard identifiers (attributes
// 2.9.3.2.7.x, notifications 2.9.3.2.10.x, object classes 2.9.3.2.3.x). Our
// own documents live under the private arc 1.3.6.1.4.1.32473 (an enterprise
// number reserved for documentation, so it never collides with a real one):
//   .1 "NX-ALARM"          .1.3.x classes, .1.7.x attributes, .1.10.x notifications
//                          (.1.7.1-13 record states, .1.7.20+ naming attributes
//                          of managed objects)
//   .2 "NX Nerve Center"   .2.3.x classes, .2.7.x attributes, .2.10.x notifications
// This comment is the one place the arc is documented; the table below is
// the one place it is used.
#include "metadata.h"

#include <deque>
#include <map>
#include <mutex>

namespace nxmp_meta {
namespace {

constexpr const char* X721 = "\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":";
constexpr const char* NXALARM = "\"NX-ALARM\":";
constexpr const char* NXNERVE = "\"NX Nerve Center\":";
constexpr const char* NX_ARC = "1.3.6.1.4.1.32473.1";
constexpr const char* NERVE_ARC = "1.3.6.1.4.1.32473.2";

using V = Asn1Value;

struct Tables {
  std::deque<TypeDef> types;
  std::vector<Entry> entries;
  std::map<std::string, const Entry*, std::less<>> by_oid;   // octets
  std::map<std::string, const Entry*, std::less<>> by_name;  // qualified
  std::map<std::string, const Entry*, std::less<>> by_bare;  // null when ambiguous
  std::map<std::string, const TypeDef*, std::less<>> types_by_name;

  TypeDef* add(TypeDef t) {
    types.push_back(std::move(t));
    TypeDef* p = &types.back();
    types_by_name[p->name] = p;
    return p;
  }
  const TypeDef* prim(const char* name, Kind kind, Asn1Tag tag, std::vector<NamedNumber> names = {}) {
    TypeDef t;
    t.name = name;
    t.kind = kind;
    t.tag = tag;
    t.names = std::move(names);
    return add(std::move(t));
  }
  const TypeDef* seq(const char* name, std::vector<Field> fields) {
    TypeDef t;
    t.name = name;
    t.kind = Kind::Sequence;
    t.tag = V::TAG_SEQ;
    t.fields = std::move(fields);
    return add(std::move(t));
  }
  const TypeDef* list(const char* name, const TypeDef* element, Asn1Tag tag = V::TAG_SET) {
    TypeDef t;
    t.name = name;
    t.kind = Kind::SetOf;
    t.tag = tag;
    t.element = element;
    return add(std::move(t));
  }
  const TypeDef* choice(const char* name, std::vector<Field> alternatives) {
    TypeDef t;
    t.name = name;
    t.kind = Kind::Choice;
    t.fields = std::move(alternatives);
    return add(std::move(t));
  }
  const TypeDef* any(const char* name, const char* defined_by) {
    TypeDef t;
    t.name = name;
    t.kind = Kind::Any;
    t.defined_by = defined_by;
    return add(std::move(t));
  }
  void reg(const char* prefix, std::string dotted, const char* item, EntryKind kind,
           const TypeDef* type) {
    Oid oid(dotted);
    entries.push_back(Entry{oid, std::string(prefix) + item, kind, type});
  }

  Tables() {
    const TypeDef* boolean = prim("BOOLEAN", Kind::Boolean, V::TAG_BOOL);
    const TypeDef* integer = prim("INTEGER", Kind::Integer, V::TAG_INT);
    const TypeDef* null = prim("NULL", Kind::Null, V::TAG_NULL);
    const TypeDef* graphic = prim("GraphicString", Kind::Text, V::TAG_GRAPHIC);
    const TypeDef* octets = prim("OCTET STRING", Kind::Octets, V::TAG_OCTETS);
    const TypeDef* gentime = prim("GeneralizedTime", Kind::Text, V::TAG_GENTIME);
    const TypeDef* oid = prim("OBJECT IDENTIFIER", Kind::Oid, V::TAG_OID);

    const TypeDef* severity = prim("PerceivedSeverity", Kind::Enumerated, V::TAG_ENUM,
                                   {{"indeterminate", 0}, {"critical", 1}, {"major", 2},
                                    {"minor", 3}, {"warning", 4}, {"cleared", 5}});
    const TypeDef* trend = prim("TrendIndication", Kind::Enumerated, V::TAG_ENUM,
                                {{"lessSevere", 0}, {"noChange", 1}, {"moreSevere", 2}});
    const TypeDef* source = prim("SourceIndicator", Kind::Enumerated, V::TAG_ENUM,
                                 {{"resourceOperation", 0}, {"managementOperation", 1}, {"unknown", 2}});
    const TypeDef* opstate = prim("OperationalState", Kind::Enumerated, V::TAG_ENUM,
                                  {{"disabled", 0}, {"enabled", 1}});
    const TypeDef* adminstate = prim("AdministrativeState", Kind::Enumerated, V::TAG_ENUM,
                                     {{"locked", 0}, {"unlocked", 1}, {"shuttingDown", 2}});
    const TypeDef* ack = prim("AckState", Kind::Integer, V::TAG_INT, {{"unAcked", 0}, {"acked", 1}});
    const TypeDef* clear = prim("ClearState", Kind::Integer, V::TAG_INT, {{"unCleared", 0}, {"cleared", 1}});
    const TypeDef* display =
        prim("DisplayState", Kind::Integer, V::TAG_INT, {{"unDisplayed", 0}, {"displayed", 1}});

    const TypeDef* simple_name = choice("SimpleNameType", {{"number", integer}, {"string", graphic}});
    const TypeDef* system_id = choice("SystemId", {{"name", graphic}, {"number", integer}});
    const TypeDef* object_class =
        choice("ObjectClass", {{"globalForm", oid, V::TAG_CTX0}, {"localForm", integer, V::TAG_CTX1}});
    const TypeDef* attribute_id =
        choice("AttributeId", {{"globalForm", oid, V::TAG_CTX0}, {"localForm", integer, V::TAG_CTX1}});
    const TypeDef* event_type = choice(
        "EventTypeId", {{"globalForm", oid, V::context_tag(6)}, {"localForm", integer, V::context_tag(7)}});
    const TypeDef* probable_cause = choice("ProbableCause", {{"globalValue", oid}, {"localValue", integer}});
    const TypeDef* specific_id = choice("SpecificIdentifier", {{"oi", oid}, {"integer", integer}});
    const TypeDef* specific_problems = list("SpecificProblems", specific_id);
    const TypeDef* repair_actions = list("ProposedRepairActions", specific_id);
    const TypeDef* state_time =
        choice("StateTime", {{"time", gentime, V::TAG_CTX0}, {"default", null, V::TAG_CTX1}});

    const TypeDef* ava_value = any("AttributeValue", "attributeId");
    const TypeDef* ava = seq("AttributeValueAssertion", {{"attributeId", oid}, {"attributeValue", ava_value}});
    const TypeDef* rdn = list("RelativeDistinguishedName", ava);
    const TypeDef* rdn_seq = list("RDNSequence", rdn, V::TAG_SEQ);
    const TypeDef* instance = choice("ObjectInstance", {{"distinguishedName", rdn_seq, V::TAG_CTX2},
                                                       {"nonSpecificForm", octets, V::TAG_CTX3},
                                                       {"localDistinguishedName", rdn_seq, V::TAG_CTX4}});

    const TypeDef* attribute = seq("Attribute", {{"attributeId", attribute_id}, {"attributeValue", ava_value}});
    const TypeDef* attribute_list = list("AttributeList", attribute);
    const TypeDef* attribute_ids = list("AttributeIdentifierList", attribute_id);
    const TypeDef* avc_item = seq("AttributeValueChange",
                                  {{"attributeId", attribute_id},
                                   {"oldAttributeValue", any("OldAttributeValue", "attributeId"), V::TAG_CTX1, true},
                                   {"newAttributeValue", any("NewAttributeValue", "attributeId"), V::TAG_CTX2}});
    const TypeDef* avc = list("AttributeValueChangeDefinition", avc_item);
    const TypeDef* extension = seq("ManagementExtension", {{"identifier", oid},
                                                          {"significance", boolean, V::TAG_CTX1, true},
                                                          {"information", any("ExtensionInformation", "identifier"),
                                                           V::TAG_CTX2}});
    const TypeDef* additional_info = list("AdditionalInformation", extension);
    const TypeDef* notif_ids = list("NotificationIdentifiers", integer);
    const TypeDef* correlated = list("CorrelatedNotifications",
                                     seq("CorrelatedNotification", {{"correlatedNotifications", notif_ids},
                                                                   {"sourceObjectInst", instance, 0, true}}));
    const TypeDef* packages = list("Packages", oid);
    const TypeDef* allomorphs = list("Allomorphs", object_class);

    const TypeDef* alarm_info = seq(
        "AlarmInfo", {{"probableCause", probable_cause},
                      {"specificProblems", specific_problems, V::TAG_CTX1, true},
                      {"perceivedSeverity", severity},
                      {"backedUpStatus", boolean, 0, true},
                      {"backUpObject", instance, V::TAG_CTX2, true},
                      {"trendIndication", trend, V::TAG_CTX3, true},
                      {"notificationIdentifier", integer, V::TAG_CTX5, true},
                      {"correlatedNotifications", correlated, V::TAG_CTX6, true},
                      {"stateChangeDefinition", avc, V::TAG_CTX7, true},
                      {"monitoredAttributes", attribute_list, V::context_tag(8), true},
                      {"proposedRepairActions", repair_actions, V::context_tag(9), true},
                      {"additionalText", graphic, 0, true},
                      {"additionalInformation", additional_info, V::context_tag(10), true}});

    // X.721 attributes (2.9.3.2.7.x).
    const std::string a = "2.9.3.2.7.";
    struct {
      int n;
      const char* name;
      const TypeDef* type;
    } x721_attrs[] = {
        {1, "discriminatorId", simple_name},  {2, "logId", simple_name},
        {3, "logRecordId", simple_name},      {4, "systemId", system_id},
        {6, "additionalInformation", additional_info},
        {7, "additionalText", graphic},       {8, "attributeIdentifierList", attribute_ids},
        {9, "attributeList", attribute_list}, {10, "attributeValueChangeDefinition", avc},
        {11, "backedUpStatus", boolean},      {12, "correlatedNotifications", correlated},
        {13, "eventTime", gentime},           {14, "eventType", event_type},
        {15, "monitoredAttributes", attribute_list},
        {16, "notificationIdentifier", integer},
        {17, "perceivedSeverity", severity},  {18, "probableCause", probable_cause},
        {19, "proposedRepairActions", repair_actions},
        {26, "sourceIndicator", source},      {27, "specificProblems", specific_problems},
        {28, "stateChangeDefinition", avc},   {29, "thresholdInfo", nullptr},
        {30, "trendIndication", trend},       {31, "administrativeState", adminstate},
        {35, "operationalState", opstate},    {40, "backUpObject", instance},
        {50, "allomorphs", allomorphs},       {59, "loggingTime", gentime},
        {60, "managedObjectClass", object_class},
        {61, "managedObjectInstance", instance},
        {63, "nameBinding", oid},             {65, "objectClass", object_class},
        {66, "packages", packages},
    };
    for (const auto& x : x721_attrs) reg(X721, a + std::to_string(x.n), x.name, EntryKind::Attribute, x.type);

    // X.721 notifications (2.9.3.2.10.x); the alarms carry AlarmInfo.
    const std::string n = "2.9.3.2.10.";
    struct {
      int n;
      const char* name;
      const TypeDef* type;
    } x721_notifs[] = {
        {1, "attributeValueChange", nullptr}, {2, "communicationsAlarm", alarm_info},
        {3, "environmentalAlarm", alarm_info}, {4, "equipmentAlarm", alarm_info},
        {5, "integrityViolation", nullptr},   {6, "objectCreation", nullptr},
        {7, "objectDeletion", nullptr},       {8, "operationalViolation", nullptr},
        {9, "physicalViolation", nullptr},    {10, "processingErrorAlarm", alarm_info},
        {11, "qualityofServiceAlarm", alarm_info},
        {12, "relationshipChange", nullptr},  {13, "securityServiceOrMechanismViolation", nullptr},
        {14, "stateChange", nullptr},         {15, "timeDomainViolation", nullptr},
    };
    for (const auto& x : x721_notifs) reg(X721, n + std::to_string(x.n), x.name, EntryKind::Notification, x.type);

    // X.721 object classes (2.9.3.2.3.x).
    const std::string c = "2.9.3.2.3.";
    struct {
      int n;
      const char* name;
    } x721_classes[] = {{1, "alarmRecord"},        {2, "attributeValueChangeRecord"},
                        {3, "discriminator"},      {4, "eventForwardingDiscriminator"},
                        {5, "eventLogRecord"},     {6, "log"},
                        {7, "logRecord"},          {8, "objectCreationRecord"},
                        {9, "objectDeletionRecord"}, {10, "relationshipChangeRecord"},
                        {11, "securityAlarmReportRecord"}, {12, "stateChangeRecord"},
                        {13, "system"},            {14, "top"}};
    for (const auto& x : x721_classes) reg(X721, c + std::to_string(x.n), x.name, EntryKind::ObjectClass, nullptr);

    // NX-ALARM: the record state attributes, the record classes, internet alarms.
    const std::string nx = NX_ARC;
    struct {
      int n;
      const char* name;
      const TypeDef* type;
    } nx_attrs[] = {{1, "ackState", ack},           {2, "ackText", graphic},
                    {3, "ackTime", state_time},     {4, "ackOperator", graphic},
                    {5, "clearState", clear},       {6, "clearText", graphic},
                    {7, "clearTime", state_time},   {8, "clearOperator", graphic},
                    {9, "displayState", display},   {10, "displayText", graphic},
                    {11, "displayTime", state_time}, {12, "displayOperator", graphic},
                    {13, "nxSpecialEvents", list("SpecialEvents", prim("SpecialEvent", Kind::Enumerated,
                                                                       V::TAG_ENUM, {{"logRecordEvent", 0}}))},
                    // Naming attributes of the managed objects alarms are
                    // about, so their names encode (and get a key) like
                    // system names do.
                    {20, "equipmentId", simple_name}, {21, "linkId", simple_name},
                    {22, "serviceId", simple_name},   {23, "circuitId", simple_name},
                    {24, "interfaceId", simple_name}, {25, "nodeId", simple_name},
                    {26, "nodeGroup", simple_name},   {27, "ipHost", simple_name},
                    {28, "roomId", simple_name},      {29, "powerId", simple_name},
                    {30, "softwareId", simple_name},  {31, "securityId", simple_name}};
    for (const auto& x : nx_attrs)
      reg(NXALARM, nx + ".7." + std::to_string(x.n), x.name, EntryKind::Attribute, x.type);
    reg(NXALARM, nx + ".3.1", "nxAlarmRecord", EntryKind::ObjectClass, nullptr);
    reg(NXALARM, nx + ".3.2", "nxInternetAlarmRecord", EntryKind::ObjectClass, nullptr);
    reg(NXALARM, nx + ".10.1", "internetAlarm", EntryKind::Notification, alarm_info);

    // NX Nerve Center: its two attributes, its record class and its alarm.
    const std::string nc = NERVE_ARC;
    reg(NXNERVE, nc + ".7.1", "mosiSeverity", EntryKind::Attribute, integer);
    reg(NXNERVE, nc + ".7.2", "mosiStateID", EntryKind::Attribute, integer);
    reg(NXNERVE, nc + ".3.1", "nerveCenterAlarmRecord", EntryKind::ObjectClass, nullptr);
    reg(NXNERVE, nc + ".10.1", "nerveCenterAlarm", EntryKind::Notification, alarm_info);

    std::map<std::string, int> bare_count;
    for (const Entry& e : entries) {
      by_oid[e.oid.octets()] = &e;
      by_name[e.name] = &e;
      const std::string bare = e.name.substr(e.name.rfind(':') + 1);
      if (++bare_count[bare] == 1) {
        by_bare[bare] = &e;
      } else {
        by_bare[bare] = nullptr;
      }
    }
  }
};

const Tables& tables() {
  static const Tables* t = new Tables;  // never destroyed: used until exit
  return *t;
}

}  // namespace

const std::vector<Entry>& entries() { return tables().entries; }

const Entry* find(const Oid& oid) {
  const auto& m = tables().by_oid;
  auto it = m.find(oid.octets());
  return it == m.end() ? nullptr : it->second;
}

const Entry* find(std::string_view name) {
  const Tables& t = tables();
  if (auto it = t.by_name.find(name); it != t.by_name.end()) return it->second;
  if (auto it = t.by_bare.find(name); it != t.by_bare.end()) return it->second;
  return nullptr;
}

const TypeDef* type_named(std::string_view name) {
  const auto& m = tables().types_by_name;
  auto it = m.find(name);
  return it == m.end() ? nullptr : it->second;
}

}  // namespace nxmp_meta

// ---- the name registry over this table ----

namespace {

class MetadataRegistry : public OidNameRegistry {
 public:
  bool o2n(const Oid& oid, std::string& name) const override {
    const nxmp_meta::Entry* e = nxmp_meta::find(oid);
    if (!e) return false;
    name = e->name;
    return true;
  }
  bool n2o(std::string_view name, Oid& oid) const override {
    const nxmp_meta::Entry* e = nxmp_meta::find(name);
    if (!e) return false;
    oid = e->oid;
    return true;
  }
};

struct Installed {
  std::mutex mutex;
  std::shared_ptr<const OidNameRegistry> registry = OidNameRegistry::metadata();
};

Installed& installed() {
  static Installed* i = new Installed;
  return *i;
}

}  // namespace

std::shared_ptr<const OidNameRegistry> OidNameRegistry::metadata() {
  static const auto r = std::make_shared<const MetadataRegistry>();
  return r;
}

void OidNameRegistry::set(std::shared_ptr<const OidNameRegistry> registry) {
  Installed& i = installed();
  std::lock_guard<std::mutex> hold(i.mutex);
  i.registry = std::move(registry);
}

std::shared_ptr<const OidNameRegistry> OidNameRegistry::get() {
  Installed& i = installed();
  std::lock_guard<std::mutex> hold(i.mutex);
  return i.registry;
}

bool OidNameRegistry::reg_o2n(const Oid& oid, std::string& name) {
  auto r = get();
  return r && r->o2n(oid, name);
}

bool OidNameRegistry::reg_n2o(std::string_view name, Oid& oid) {
  auto r = get();
  return r && r->n2o(name, oid);
}

bool oid2name_nonmdr(const Oid& oid, std::string& name) {
  const nxmp_meta::Entry* e = nxmp_meta::find(oid);
  if (!e) return false;
  name = e->name;
  return true;
}
