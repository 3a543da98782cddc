// Asn1Type: the ASN.1 type of an attribute value or of a notification's
// information, from the platform's metadata, and the value notation of its
// values (format_value writes it, parse_value reads it back).
//
// Value notation: BOOLEAN TRUE / FALSE; INTEGER in decimal or by its named
// number; ENUMERATED by name; NULL; strings and times in double quotes (a
// quote inside doubled); octet strings 'hex'H; OBJECT IDENTIFIERs by their
// registered name ("document":name) or as { 2 9 3 ... }; CHOICE alternatives
// as "alternative : value"; SEQUENCE as { field value, ... } and SET OF as
// { value, ... } over indented lines. An open-type (ANY) value whose type is
// not known is written as 'hex of its whole encoding'H, which parses back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "nxmp/asn1_value.h"
#include "nxmp/data_unit.h"

namespace nxmp_meta {
struct TypeDef;
}

class Asn1Type {
 public:
  Asn1Type() = default;
  bool is_null() const { return def_ == nullptr; }
  explicit operator bool() const { return def_ != nullptr; }
  // The type's reference name ("PerceivedSeverity"); empty for the null type.
  std::string name() const;

  // The type of an open-type field: ("attributeValue", "attributeId", the
  // attribute's OID value) gives the attribute's syntax, ("eventInfo",
  // "eventType", the event type's OID value) the notification's information
  // syntax. The null type when the key or the pair is unknown.
  static Asn1Type lookup_type(const char* field, const char* key_field, const Asn1Value& key);
  // A type of the metadata by its reference name; null when unknown.
  static Asn1Type by_name(std::string_view name);

  // Writes the value notation of value and a NUL into buf (never more than
  // room bytes). tagging 0: the value carries the type's own tag; otherwise
  // its outer tag is an implicit one and is not checked. Values nested deeper
  // than max_depth, or not of this type, are written as 'hex'H. Returns the
  // text's length, or -1 when the value was not of the type or the text was
  // cut to fit. module is the default document for names (empty: none).
  int format_value(const Asn1Value& value, char* buf, std::size_t room, int flags, int tagging,
                   const DataUnit& module, int max_depth) const;
  // The same into a string; false when the value was not of the type.
  bool format(const Asn1Value& value, std::string& out) const;

  // Reads a value of this type from its value notation; null when the text is
  // not a value of the type or has anything but blanks after it. flags are
  // accepted for callers' compatibility and not used.
  Asn1Value parse_value(const DataUnit& module, const char* text, int flags) const;
  Asn1Value parse(std::string_view text) const;

 private:
  explicit Asn1Type(const nxmp_meta::TypeDef* def) : def_(def) {}
  const nxmp_meta::TypeDef* def_ = nullptr;
};

// Object-instance value of a name text such as
// /systemId=name:"alpha"/logId=string:"AlarmLog": a distinguishedName ([2])
// when the text starts with "/", else a localDistinguishedName ([4]); each
// relative name holds one attribute value assertion. Attribute types are
// registry names (bare or fully qualified) or dotted OIDs; values are
// name:/string: and a quoted text, number: and an integer, a quoted text or
// an integer. The null value when the text is not such a name.
Asn1Value fdn2oi(const DataUnit& name);
