#include "db/attr_decoder.h"

#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr const char* X721 = "\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":";
const std::string MANAGED_OBJECT_INSTANCE = std::string(X721) + "managedObjectInstance";

// Copies text (cut to the room) and a NUL into buffer.
void put(char* buffer, std::string_view text) {
  const std::size_t n = text.size() < AttrDecoder::BUFFER_ROOM ? text.size() : AttrDecoder::BUFFER_ROOM - 1;
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

AttrDecodeResult two_states(const Asn1Value& value, char* buffer, const char* zero, const char* one) {
  long n = 0;
  if (!value.decode_int(n) || (n != 0 && n != 1)) return ATTR_DECODE_ERROR;
  put(buffer, n ? one : zero);
  return ATTR_DECODE_OK;
}

AttrDecodeResult octets_text(const Asn1Value& value, char* buffer) {
  std::string text;
  if (!value.decode_octets(text)) return ATTR_DECODE_ERROR;
  put(buffer, text);
  return ATTR_DECODE_OK;
}

// The name of the OID held in value's content: the registry's name or the
// dotted form with metadata, the built-in name without.
AttrDecodeResult oid_name(const Asn1Value& value, unsigned char use_mdr, std::string& name) {
  const Oid oid = Oid::from_value(value);
  if (oid.empty()) return ATTR_DECODE_ERROR;
  if (use_mdr) {
    if (!OidNameRegistry::reg_o2n(oid, name)) name = oid.dotted();
    return ATTR_DECODE_OK;
  }
  return oid2name_nonmdr(oid, name) ? ATTR_DECODE_OK : ATTR_DECODE_UNKNOWN;
}

AttrDecodeResult global_or_local_form(const Asn1Value& value, char* buffer, unsigned char use_mdr,
                                      Asn1Tag global, Asn1Tag local) {
  if (value.tag() == global) {
    std::string name;
    const AttrDecodeResult r = oid_name(value, use_mdr, name);
    if (r != ATTR_DECODE_OK) return r;
    put(buffer, "globalForm : " + name);
    return ATTR_DECODE_OK;
  }
  if (value.tag() == local) {
    long n = 0;
    if (!value.decode_int(n)) return ATTR_DECODE_ERROR;
    put(buffer, "localForm : " + std::to_string(n));
    return ATTR_DECODE_OK;
  }
  return ATTR_DECODE_ERROR;
}

}  // namespace

const KnownAttr knownAttrs[] = {
    {"\"NX-ALARM\":ackState", decode_ackState},
    {"\"NX-ALARM\":ackTime", decode_Choice_Time},
    {"\"NX-ALARM\":ackOperator", decode_GraphicString},
    {"\"NX-ALARM\":ackText", decode_GraphicString},
    {"\"NX-ALARM\":clearState", decode_clearState},
    {"\"NX-ALARM\":clearTime", decode_Choice_Time},
    {"\"NX-ALARM\":clearOperator", decode_GraphicString},
    {"\"NX-ALARM\":clearText", decode_GraphicString},
    {"\"NX-ALARM\":displayState", decode_displayState},
    {"\"NX-ALARM\":displayTime", decode_Choice_Time},
    {"\"NX-ALARM\":displayOperator", decode_GraphicString},
    {"\"NX-ALARM\":displayText", decode_GraphicString},
    {"\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":logRecordId", decode_logRecordId},
    {"\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":eventTime", decode_eventTime},
    {"\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":eventType", decode_eventType},
    {"\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":perceivedSeverity", decode_PerceivedSeverity},
    {"\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":probableCause", decode_ProbableCause},
    {"\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":loggingTime", decode_loggingTime},
    {"\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":managedObjectClass", decode_managedObjectClass},
    {"\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":nameBinding", decode_nameBindings},
    {"\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":objectClass", decode_objectClass},
    {"\"Rec. X.721 | ISO/IEC 10165-2 : 1992\":additionalText", decode_additionalText},
    {"\"NX Nerve Center\":mosiSeverity", decode_integer},
    {"\"NX Nerve Center\":mosiStateID", decode_integer},
};

const KnownAttr* const AttrDecoder::known_attrs = knownAttrs;
const int AttrDecoder::num_known_attrs = static_cast<int>(sizeof knownAttrs / sizeof knownAttrs[0]);

int AttrDecoder::well_known_attr(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < num_known_attrs; ++i)
    if (std::strcmp(known_attrs[i].name, name) == 0) return i;
  return -1;
}

AttrDecodeResult AttrDecoder::decode_attr(const char* name, const Asn1Value& value, char* buffer,
                                          const Oid& oid, unsigned char use_mdr) {
  if (!name) name = "";
  bool typed = false;
  if (MANAGED_OBJECT_INSTANCE == name) {
    if (value.tag() == Asn1Value::TAG_GRAPHIC) {
      if (octets_text(value, buffer) != ATTR_DECODE_OK) return ATTR_DECODE_ERROR;
      strip_attribute_names(buffer);
      return ATTR_DECODE_OK;
    }
    typed = true;
  }
  if (!typed) {
    const int row = well_known_attr(name);
    if (row >= 0) return known_attrs[row].decoder(value, buffer, use_mdr);
    if (value.tag() == Asn1Value::TAG_GRAPHIC) return octets_text(value, buffer);
  }
  if (!use_mdr) return ATTR_DECODE_UNKNOWN;
  const Asn1Type type =
      Asn1Type::lookup_type("attributeValue", "attributeId", Asn1Value::encode_octets(Asn1Value::TAG_OID, oid.octets()));
  type.format_value(value, buffer, BUFFER_ROOM, 0, 0, DataUnit(), 25);
  return ATTR_DECODE_OK;
}

AttrDecodeResult decode_ackState(const Asn1Value& value, char* buffer, unsigned char) {
  return two_states(value, buffer, "unAcked", "acked");
}

AttrDecodeResult decode_clearState(const Asn1Value& value, char* buffer, unsigned char) {
  return two_states(value, buffer, "unCleared", "cleared");
}

AttrDecodeResult decode_displayState(const Asn1Value& value, char* buffer, unsigned char) {
  return two_states(value, buffer, "unDisplayed", "displayed");
}

AttrDecodeResult decode_Choice_Time(const Asn1Value& value, char* buffer, unsigned char) {
  if (value.tag() == Asn1Value::TAG_CTX0) return octets_text(value, buffer);
  if (value.tag() == Asn1Value::TAG_CTX1) {
    put(buffer, "default : NULL");
    return ATTR_DECODE_OK;
  }
  return ATTR_DECODE_ERROR;
}

AttrDecodeResult decode_GraphicString(const Asn1Value& value, char* buffer, unsigned char) {
  return octets_text(value, buffer);
}

AttrDecodeResult decode_eventTime(const Asn1Value& value, char* buffer, unsigned char) {
  return octets_text(value, buffer);
}

AttrDecodeResult decode_loggingTime(const Asn1Value& value, char* buffer, unsigned char) {
  return octets_text(value, buffer);
}

AttrDecodeResult decode_integer(const Asn1Value& value, char* buffer, unsigned char) {
  long n = 0;
  if (!value.decode_int(n)) return ATTR_DECODE_ERROR;
  put(buffer, std::to_string(n));
  return ATTR_DECODE_OK;
}

AttrDecodeResult decode_logRecordId(const Asn1Value& value, char* buffer, unsigned char) {
  if (value.tag() == Asn1Value::TAG_INT) {
    unsigned long n = 0;
    if (!value.decode_unsigned(n)) return ATTR_DECODE_ERROR;
    put(buffer, "number:" + std::to_string(n));
    return ATTR_DECODE_OK;
  }
  std::string text;
  if (!value.decode_octets(text)) return ATTR_DECODE_ERROR;
  put(buffer, "string:" + text);
  return ATTR_DECODE_OK;
}

AttrDecodeResult decode_eventType(const Asn1Value& value, char* buffer, unsigned char use_mdr) {
  return global_or_local_form(value, buffer, use_mdr, Asn1Value::context_tag(6), Asn1Value::context_tag(7));
}

AttrDecodeResult decode_PerceivedSeverity(const Asn1Value& value, char* buffer, unsigned char) {
  static const char* const names[] = {"indeterminate", "critical", "major", "minor", "warning", "cleared"};
  long n = 0;
  if (!value.decode_int(n)) return ATTR_DECODE_ERROR;
  put(buffer, n >= 0 && n <= 5 ? names[n] : "unknown");
  return ATTR_DECODE_OK;
}

AttrDecodeResult decode_ProbableCause(const Asn1Value& value, char* buffer, unsigned char use_mdr) {
  if (value.tag() == Asn1Value::TAG_OID) {
    const Oid oid = Oid::from_value(value);
    if (oid.empty()) return ATTR_DECODE_ERROR;
    std::string name;
    const bool named = use_mdr ? OidNameRegistry::reg_o2n(oid, name) : oid2name_nonmdr(oid, name);
    put(buffer, named ? "globalValue:" + name : "globalValue:{" + oid_dot2space(oid.dotted()) + "}");
    return ATTR_DECODE_OK;
  }
  if (value.tag() == Asn1Value::TAG_INT) {
    long n = 0;
    if (!value.decode_int(n)) return ATTR_DECODE_ERROR;
    put(buffer, "localValue : " + std::to_string(n));
    return ATTR_DECODE_OK;
  }
  return ATTR_DECODE_ERROR;
}

AttrDecodeResult decode_objectClass(const Asn1Value& value, char* buffer, unsigned char use_mdr) {
  if (value.tag() == Asn1Value::TAG_GRAPHIC) return octets_text(value, buffer);
  return global_or_local_form(value, buffer, use_mdr, Asn1Value::TAG_CTX0, Asn1Value::TAG_CTX1);
}

AttrDecodeResult decode_managedObjectClass(const Asn1Value& value, char* buffer, unsigned char use_mdr) {
  return decode_objectClass(value, buffer, use_mdr);
}

AttrDecodeResult decode_nameBindings(const Asn1Value& value, char* buffer, unsigned char use_mdr) {
  std::string name;
  const AttrDecodeResult r = oid_name(value, use_mdr, name);
  if (r == ATTR_DECODE_OK) put(buffer, name);
  return r;
}

AttrDecodeResult decode_additionalText(const Asn1Value& value, char* buffer, unsigned char) {
  std::string text;
  if (!value.decode_octets(text)) return ATTR_DECODE_ERROR;
  if (text.empty()) {
    text = "\"\"";
  } else {
    if (text.front() != '"') text.insert(text.begin(), '"');
    if (text.size() < 2 || text.back() != '"') text.push_back('"');
  }
  put(buffer, text);
  return ATTR_DECODE_OK;
}

void strip_attribute_names(char* text) {
  if (!text) return;
  static constexpr std::string_view KEYWORD = "attributeValue";
  const std::string in(text);
  std::size_t cur = in.find(KEYWORD);
  if (cur == std::string::npos) return;
  std::string out = in.substr(0, cur);
  while (cur != std::string::npos) {
    out += KEYWORD;
    const std::size_t next = in.find(KEYWORD, cur + 1);
    const std::size_t colon = in.find(':', cur);
    std::size_t from = cur + KEYWORD.size();
    if (colon != std::string::npos && (next == std::string::npos || colon < next)) from = colon + 1;
    out.append(in, from, (next == std::string::npos ? in.size() : next) - from);
    cur = next;
  }
  std::memcpy(text, out.c_str(), out.size() + 1);  // out is never longer than in
}
