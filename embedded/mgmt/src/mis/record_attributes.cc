#include "mis/record_attributes.h"

#include <cctype>
#include <cstring>
#include <unordered_map>

#include "metadata.h"
#include "nxmp/asn1_type.h"
#include "nxdb/value.h"
#include "nxmp/oid.h"

namespace nxmp_mis {
namespace {

bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

Asn1Value parse_attribute(const char* name, const std::string& notation) {
  const nxmp_meta::Entry* entry = nxmp_meta::find(std::string_view(name));
  if (entry == nullptr) return {};
  Asn1Type type = Asn1Type::lookup_type("attributeValue", "attributeId", entry->oid.to_value());
  if (!type) return {};
  return type.parse(notation);
}

}  // namespace

const std::vector<RecordAttribute>& record_attributes() {
  using F = Form;
  static const std::vector<RecordAttribute> kAttributes = {
      {"logRecordId", {"logrecordid"}, F::kRecordId, false},
      {"loggingTime", {"loggingtime"}, F::kGenTime, false},
      {"eventType", {"eventname"}, F::kEventType, false},
      {"eventTime", {"eventtime"}, F::kGenTime, false},
      {"notificationIdentifier", {"notificationid"}, F::kInteger, false},
      {"managedObjectClass", {"moc_s"}, F::kClass, false},
      {"managedObjectInstance", {"moi_s"}, F::kInstance, false},
      {"correlatedNotifications", {"correlatednotifs"}, F::kNotation, false},
      {"additionalText", {"additionaltext"}, F::kText, false},
      {"additionalInformation", {"additionalinfo_s"}, F::kNotation, false},
      {"probableCause", {"probablecause_s"}, F::kNotation, false},
      {"perceivedSeverity", {"perceivedseverity"}, F::kNotation, false},
      {"specificProblems", {"specificproblems", "specificproblems_s"}, F::kNotation, false},
      {"backedUpStatus", {"backedupstatus"}, F::kNotation, false},
      {"backUpObject", {"backupobject"}, F::kNotation, false},
      {"trendIndication", {"trendindication"}, F::kNotation, false},
      {"thresholdInfo", {"thresholdinfo_s"}, F::kNotation, false},
      {"stateChangeDefinition", {"statechangedef_s"}, F::kNotation, false},
      {"monitoredAttributes", {"monitoredattribs"}, F::kNotation, false},
      {"proposedRepairActions", {"proposedrpracts", "proposedrpractions"}, F::kNotation, false},
      {"attributeIdentifierList", {"attributeidlist_s"}, F::kNotation, false},
      {"objectInstanceList", {"objectinstancelsts"}, F::kNotation, false},
      {"snmpVarBindList", {"snmpvarbindlist_s"}, F::kNotation, false},
      {"internetTrapInfo", {"internettrapinfo_s"}, F::kNotation, false},
      {"transportDomain", {"transportdomain_s"}, F::kNotation, false},
      {"accessControlInfo", {"accesscontrolinfos"}, F::kNotation, false},
      {"ackState", {"ackstate"}, F::kNotation, true},
      {"ackTime", {"acktime"}, F::kStateTime, true},
      {"ackOperator", {"ackoperator"}, F::kText, true},
      {"ackText", {"acktext"}, F::kText, true},
      {"clearState", {"clearstate"}, F::kNotation, true},
      {"clearTime", {"cleartime"}, F::kStateTime, true},
      {"clearOperator", {"clearoperator"}, F::kText, true},
      {"clearText", {"cleartext"}, F::kText, true},
      {"displayState", {"displaystate"}, F::kNotation, true},
      {"displayTime", {"displaytime"}, F::kStateTime, true},
      {"displayOperator", {"displayoperator"}, F::kText, true},
      {"displayText", {"displaytext"}, F::kText, true},
      {"mosiSeverity", {"mosiseverity"}, F::kInteger, false},
      {"mosiStateID", {"mosistateid"}, F::kInteger, false},
  };
  return kAttributes;
}

const RecordAttribute* find_record_attribute(std::string_view name) {
  // Looked up for every value of every record written: by length, then by
  // bytes among the few names of that length (the first of a name wins, as
  // a walk over the list had it). Cheaper than hashing the name.
  constexpr std::size_t kLongest = 40;
  using Candidates = std::vector<const RecordAttribute*>;
  static const auto* const kByLength = [] {
    auto* by_length = new std::vector<Candidates>(kLongest + 1);
    for (const RecordAttribute& a : record_attributes()) {
      const std::size_t n = std::strlen(a.name);
      if (n <= kLongest) (*by_length)[n].push_back(&a);
    }
    return by_length;
  }();
  const auto find = [](std::string_view bare) -> const RecordAttribute* {
    if (bare.size() > kLongest) return nullptr;
    for (const RecordAttribute* a : (*kByLength)[bare.size()]) {
      if (std::memcmp(a->name, bare.data(), bare.size()) == 0) return a;
    }
    return nullptr;
  };
  // Qualified names ("NX-ALARM":ackState) name the same attribute; no bare
  // name holds a colon.
  if (const RecordAttribute* a = find(name)) return a;
  const std::size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? nullptr : find(trim(name.substr(colon + 1)));
}

const nxdb::ColumnDef* column_def(const nxdb::RecordType& type, std::string_view column) {
  for (const nxdb::ColumnDef& c : type.columns) {
    if (column == c.name) return &c;
  }
  return nullptr;
}

const nxdb::ColumnDef* record_column(const RecordAttribute& attribute, const nxdb::RecordType& type) {
  auto first_candidate = [](const RecordAttribute& a, const nxdb::RecordType& t) -> const nxdb::ColumnDef* {
    for (const char* candidate : a.columns) {
      if (const nxdb::ColumnDef* def = column_def(t, candidate)) return def;
    }
    return nullptr;
  };
  // Every value of every record written asks: for the schema's own types
  // and attributes the answer is looked up in a table made once.
  const std::vector<RecordAttribute>& attributes = record_attributes();
  const std::vector<nxdb::RecordType>& types = nxdb::alarm_record_types();
  if (&attribute < attributes.data() || &attribute >= attributes.data() + attributes.size() ||
      &type < types.data() || &type >= types.data() + types.size()) {
    return first_candidate(attribute, type);
  }
  static const auto* const kTable = [&] {
    auto* table = new std::vector<const nxdb::ColumnDef*>();
    for (const RecordAttribute& a : attributes) {
      for (const nxdb::RecordType& t : types) table->push_back(first_candidate(a, t));
    }
    return table;
  }();
  const auto a = static_cast<std::size_t>(&attribute - attributes.data());
  const auto t = static_cast<std::size_t>(&type - types.data());
  return (*kTable)[a * types.size() + t];
}

const char* column_of(const RecordAttribute& attribute, const nxdb::RecordType& type) {
  const nxdb::ColumnDef* def = record_column(attribute, type);
  return def == nullptr ? nullptr : def->name;
}

std::string quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  out += '"';
  return out;
}

std::optional<std::string> unquote(std::string_view text) {
  text = trim(text);
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return std::nullopt;
  std::string out;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == '"') {
      if (i + 2 < text.size() && text[i + 1] == '"') {
        out += '"';
        ++i;
        continue;
      }
      return std::nullopt;  // a lone quote inside
    }
    out += text[i];
  }
  return out;
}

std::string collapse_blanks(std::string_view text) {
  std::string out;
  bool in_quotes = false;
  bool blank = false;
  for (char c : trim(text)) {
    if (c == '"') in_quotes = !in_quotes;
    if (!in_quotes && std::isspace(static_cast<unsigned char>(c))) {
      blank = true;
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> split_fields(std::string_view notation) {
  std::vector<std::pair<std::string, std::string>> fields;
  std::string_view body = trim(notation);
  if (body.size() < 2 || body.front() != '{' || body.back() != '}') return fields;
  body = body.substr(1, body.size() - 2);
  int depth = 0;
  bool in_quotes = false;
  std::size_t start = 0;
  auto flush = [&](std::size_t end) {
    std::string_view item = trim(body.substr(start, end - start));
    if (item.empty()) return;
    std::size_t space = 0;
    while (space < item.size() && !std::isspace(static_cast<unsigned char>(item[space]))) ++space;
    fields.emplace_back(std::string(item.substr(0, space)),
                        collapse_blanks(item.substr(space)));
  };
  for (std::size_t i = 0; i < body.size(); ++i) {
    char c = body[i];
    if (c == '"') in_quotes = !in_quotes;
    if (in_quotes) continue;
    if (c == '{') ++depth;
    if (c == '}') --depth;
    if (c == ',' && depth == 0) {
      flush(i);
      start = i + 1;
    }
  }
  flush(body.size());
  return fields;
}

std::string to_notation(const RecordAttribute& attribute, const std::string& text) {
  switch (attribute.form) {
    case Form::kText:
    case Form::kGenTime:
    case Form::kClass:
    case Form::kInstance:
      return quote(text);
    case Form::kStateTime:
      return text.empty() ? "default : NULL" : "time : " + quote(text);
    case Form::kEventType: {
      Oid oid;
      if (!OidNameRegistry::reg_n2o(text, oid)) return text;
      return "globalForm : { " + oid_dot2space(oid.dotted()) + " }";
    }
    case Form::kRecordId:
      return "number : " + text;
    case Form::kInteger:
    case Form::kNotation:
      return text;
  }
  return text;
}

namespace {

// How a value of a simple form is encoded without its notation: the text's
// bytes, or the number, as one primitive of the attribute's tag. Writing
// such a value's notation and parsing it again was most of the cost of
// encoding a record's values.
struct DirectForm {
  enum class How { kOctets, kInteger } how;
  Asn1Tag tag;
};

// A decimal number as the notation parser takes it; false for anything else
// (named numbers, a sign of +, blanks), which then goes through the parser.
bool plain_number(const std::string& text, long& out) {
  std::size_t i = text[0] == '-' ? 1 : 0;
  if (text.size() <= i || text.size() - i > 18) return false;
  long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  out = text[0] == '-' ? -value : value;
  return true;
}

Asn1Value direct_value(const DirectForm& form, const std::string& text) {
  if (form.how == DirectForm::How::kOctets) return Asn1Value::encode_octets(form.tag, text);
  long number = 0;
  return plain_number(text, number) ? Asn1Value::encode_int(number, form.tag) : Asn1Value();
}

// The attributes encoded directly. An attribute's tag is learnt once, from
// a sample parsed through its type; one whose sample the direct encoding
// does not reproduce keeps the parser.
const DirectForm* direct_form(const RecordAttribute& attribute) {
  using Forms = std::unordered_map<const RecordAttribute*, DirectForm>;
  static const Forms* const kForms = [] {
    auto* forms = new Forms();
    for (const RecordAttribute& a : record_attributes()) {
      DirectForm form{DirectForm::How::kOctets, 0};
      std::string sample;
      switch (a.form) {
        case Form::kText: sample = "a \"quoted\" text"; break;
        case Form::kGenTime: sample = "20010302090500"; break;
        case Form::kInteger:
        case Form::kRecordId:
          form.how = DirectForm::How::kInteger;
          sample = "-1234567";
          break;
        default: continue;
      }
      const Asn1Value parsed = parse_attribute(a.name, to_notation(a, sample));
      if (parsed.is_null()) continue;
      form.tag = parsed.tag();
      if (direct_value(form, sample) == parsed) forms->emplace(&a, form);
    }
    return forms;
  }();
  auto found = kForms->find(&attribute);
  return found == kForms->end() ? nullptr : &found->second;
}

}  // namespace

Asn1Value encode_value(const RecordAttribute& attribute, const std::string& text) {
  switch (attribute.form) {
    case Form::kInstance:
      return fdn2oi(DataUnit(text));
    case Form::kClass:
      // A class that is no registry name still travels, as its text.
      return Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, text);
    default: {
      if (text.empty() && attribute.form != Form::kStateTime) return {};
      if (const DirectForm* direct = text.empty() ? nullptr : direct_form(attribute)) {
        Asn1Value value = direct_value(*direct, text);
        if (!value.is_null()) return value;
      }
      return parse_attribute(attribute.name, to_notation(attribute, text));
    }
  }
}

std::optional<std::string> parse_set_value(const RecordAttribute& attribute,
                                           std::string_view value) {
  std::string_view v = trim(value);
  switch (attribute.form) {
    case Form::kText: {
      // Only value notation: a quoted text, unquoted exactly once. A bare
      // text is refused, since one that starts and ends with a quote could
      // not be told from notation; a NUL no column keeps.
      auto text = unquote(v);
      if (!text || text->find('\0') != std::string::npos) return std::nullopt;
      return text;
    }
    case Form::kStateTime: {
      // "default : NULL", or any alternative name and a quoted time:
      // time : "20010302090500", timeInfo: "20010302090500".
      std::size_t colon = v.find(':');
      if (colon == std::string_view::npos) return std::nullopt;
      std::string_view alternative = trim(v.substr(0, colon));
      std::string_view rest = trim(v.substr(colon + 1));
      if (alternative == "default") {
        if (rest == "NULL") return std::string();
        return std::nullopt;
      }
      auto digits = unquote(rest);
      if (!digits || digits->size() != 14 || !all_digits(*digits)) return std::nullopt;
      std::string stored;
      if (!nxdb::digits_to_stored_time(*digits, stored)) return std::nullopt;
      return digits;
    }
    case Form::kNotation: {
      // Only values of the attribute's type are taken (acked, unCleared, ...).
      std::string text = collapse_blanks(v);
      if (parse_attribute(attribute.name, text).is_null()) return std::nullopt;
      return text;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace nxmp_mis
