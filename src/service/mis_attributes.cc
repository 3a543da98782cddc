// MisImpl: object instances into name texts, and notification attribute
// lists into attribute name and value-text pairs.
#include <cstring>
#include <string>
#include <vector>

#include "db/attr_decoder.h"
#include "model/object_name.h"
#include "service/mis_impl.h"

namespace {

const Oid& system_id_oid() {
  static const Oid oid("2.9.3.2.7.4");
  return oid;
}
const Oid& log_id_oid() {
  static const Oid oid("2.9.3.2.7.2");
  return oid;
}
const Oid& log_record_id_oid() {
  static const Oid oid("2.9.3.2.7.3");
  return oid;
}
// objectClass: every created record carries it and no alarm record shows it.
const Oid& object_class_oid() {
  static const Oid oid("2.9.3.2.7.65");
  return oid;
}

// One relative name's first attribute value assertion as text; empty for
// identifiers other than the three of log-record names, or malformed values.
std::string relative_name_text(const Asn1Value& rdn) {
  const Asn1Value ava = rdn.first_component();
  const Asn1Value id = ava.first_component();
  const Asn1Value value = id.next_component();
  const Oid oid = Oid::from_value(id);
  std::string text;
  long n = 0;
  if (oid == system_id_oid()) {
    if (value.decode_octets(text)) return "systemId=" + NameValue::name(text).notation();
  } else if (oid == log_id_oid()) {
    if (value.tag() == Asn1Value::TAG_INT) {
      if (value.decode_int(n)) return "logId=" + NameValue::number(n).notation();
    } else if (value.decode_octets(text)) {
      return "logId=" + NameValue::string(text).notation();
    }
  } else if (oid == log_record_id_oid()) {
    if (value.decode_int(n)) return "logRecordId=" + NameValue::number(n).notation();
  }
  return {};
}

}  // namespace

std::string MisImpl::o2f(const Asn1Value& object_instance) {
  std::string name;
  if (object_instance.tag() == Asn1Value::TAG_CTX2) name += "/";
  bool first = true;
  for (Asn1Value rdn = object_instance.first_component(); rdn; rdn = rdn.next_component()) {
    if (!first) name += "/";
    first = false;
    name += relative_name_text(rdn);
  }
  return name;
}

bool MisImpl::parse_attribute_list(const Asn1Value& list, OidArray& ids, Asn1ValueArray& values) {
  const int n = list.num_comps();
  ids.resize(n);
  values.resize(n);
  int i = 0;
  for (Asn1Value attr = list.first_component(); attr && i < n; attr = attr.next_component(), ++i) {
    const Asn1Value id = attr.first_component();
    ids[i] = Oid::from_value(id.retag(Asn1Value::TAG_OID));
    values[i] = id.next_component();
  }
  return true;
}

bool MisImpl::parse_attribute_list_avc(const Asn1Value& list, OidArray& ids, Asn1ValueArray& values) {
  const int n = list.num_comps();
  ids.resize(n);
  values.resize(n);
  int i = 0;
  for (Asn1Value change = list.first_component(); change && i < n; change = change.next_component(), ++i) {
    const Asn1Value id = change.first_component();
    ids[i] = Oid::from_value(id.retag(Asn1Value::TAG_OID));
    Asn1Value next = id.next_component();
    if (next.tag() == Asn1Value::TAG_CTX1) next = next.next_component();  // the old value
    values[i] = next.tagged_component();
  }
  return true;
}

void MisImpl::convert(OidArray& ids, Asn1ValueArray& values, std::list<std::string>& names,
                      std::list<std::string>& texts) {
  std::vector<char> buffer(AttrDecoder::BUFFER_ROOM);
  bool internet_alarm = false;
  bool severity_seen = false;
  const std::size_t n = ids.size() < values.size() ? ids.size() : values.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (ids[i] == object_class_oid()) continue;
    std::string name;
    if (!OidNameRegistry::reg_o2n(ids[i], name)) name.clear();
    buffer[0] = '\0';
    AttrDecoder::decode_attr(name.c_str(), values[i], buffer.data(), ids[i], 1);
    names.push_back(name);
    texts.emplace_back(buffer.data());
    if (name.find("eventType") != std::string::npos && texts.back().find("internetAlarm") != std::string::npos) {
      internet_alarm = true;
    } else if (name.find("perceivedSeverity") != std::string::npos) {
      severity_seen = true;
    }
  }
  ids.clear();
  values.clear();
  if (internet_alarm && !severity_seen) {
    names.push_back("perceivedSeverity");
    texts.push_back("indeterminate");
  }
}
