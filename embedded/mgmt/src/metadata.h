// The platform's metadata: ASN.1 type definitions and the registry table of
// attributes, notifications and object classes. Private to nxmp.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "nxmp/asn1_value.h"
#include "nxmp/oid.h"

namespace nxmp_meta {

enum class Kind { Boolean, Integer, Enumerated, Null, Text, Octets, Oid, Sequence, SetOf, Choice, Any };

struct NamedNumber {
  const char* name;
  long value;
};

struct TypeDef;

struct Field {
  const char* name;
  const TypeDef* type;
  Asn1Tag tag = 0;  // context tag; 0 keeps the type's own tag
  bool optional = false;
};

struct TypeDef {
  const char* name = "";
  Kind kind = Kind::Null;
  Asn1Tag tag = 0;  // universal tag; 0 for CHOICE and ANY
  std::vector<NamedNumber> names;
  std::vector<Field> fields;         // SEQUENCE components, CHOICE alternatives
  const TypeDef* element = nullptr;  // SET OF / SEQUENCE OF
  const char* defined_by = nullptr;  // ANY DEFINED BY this sibling field
};

// Tagged CHOICE and ANY fields are tagged explicitly, all others implicitly.
inline bool explicit_tagging(const Field& f) {
  return f.tag != 0 && (f.type->kind == Kind::Choice || f.type->kind == Kind::Any);
}

enum class EntryKind { Attribute, Notification, ObjectClass, Other };

struct Entry {
  Oid oid;
  std::string name;  // fully qualified: "document":item
  EntryKind kind;
  const TypeDef* type;  // attribute syntax or notification information; may be null
};

const std::vector<Entry>& entries();
const Entry* find(const Oid& oid);
// Fully qualified name, or a bare item name carried by exactly one entry.
const Entry* find(std::string_view name);
const TypeDef* type_named(std::string_view name);

}  // namespace nxmp_meta
