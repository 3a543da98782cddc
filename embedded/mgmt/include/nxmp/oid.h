// Object identifiers: Oid (content octets of an OBJECT IDENTIFIER, compared
// byte for byte), OidArray, the platform's OID name registry and the small
// text helpers around them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "nxmp/asn1_value.h"

class Oid {
 public:
  Oid() = default;
  // From dotted text such as "2.9.3.2.7.4"; malformed text gives the empty Oid.
  explicit Oid(std::string_view dotted);
  explicit Oid(const char* dotted) : Oid(std::string_view(dotted ? dotted : "")) {}
  explicit Oid(const std::string& dotted) : Oid(std::string_view(dotted)) {}

  // From BER content octets; invalid octets give the empty Oid.
  static Oid from_octets(const void* bytes, std::size_t length);
  // From a primitive value's content (whatever its tag); empty when constructed.
  static Oid from_value(const Asn1Value& value);

  bool empty() const { return octets_.empty(); }
  const std::string& octets() const { return octets_; }
  std::vector<std::uint64_t> arcs() const;
  std::string dotted() const;
  // Writes the dotted text and a NUL into buf; the text's length, or -1
  // (buf holding "" when room allows) when it does not fit or the Oid is empty.
  int format(char* buf, std::size_t room) const;
  // The Oid as a value, OBJECT IDENTIFIER unless another tag is given.
  Asn1Value to_value(Asn1Tag tag = Asn1Value::TAG_OID) const;

  friend bool operator==(const Oid& a, const Oid& b) { return a.octets_ == b.octets_; }
  friend bool operator!=(const Oid& a, const Oid& b) { return !(a == b); }
  friend bool operator<(const Oid& a, const Oid& b) { return a.octets_ < b.octets_; }

 private:
  std::string octets_;
};

// An array of Oids sized by its user, indexed from 0 (index checked).
class OidArray {
 public:
  OidArray() = default;
  explicit OidArray(std::size_t size) : items_(size) {}
  void resize(std::size_t size) { items_.assign(size, Oid()); }
  void clear() { items_.clear(); }
  std::size_t size() const { return items_.size(); }
  Oid& operator[](std::size_t i) { return items_.at(i); }
  const Oid& operator[](std::size_t i) const { return items_.at(i); }

 private:
  std::vector<Oid> items_;
};

// Names of object identifiers: fully qualified registry names, a document
// name in double quotes, a colon and the item's name, e.g.
// "Rec. X.721 | ISO/IEC 10165-2 : 1992":perceivedSeverity.
//
// The process has one installed registry, by default the platform's own
// metadata; set(nullptr) removes it, after which every lookup fails.
class OidNameRegistry {
 public:
  virtual ~OidNameRegistry() = default;
  virtual bool o2n(const Oid& oid, std::string& name) const = 0;
  virtual bool n2o(std::string_view name, Oid& oid) const = 0;

  static void set(std::shared_ptr<const OidNameRegistry> registry);
  static std::shared_ptr<const OidNameRegistry> get();
  // The registry over the platform's metadata table.
  static std::shared_ptr<const OidNameRegistry> metadata();

  // Through the installed registry; false (output untouched) when none is
  // installed or it has no answer. n2o takes a fully qualified name, or a bare
  // name that only one entry carries.
  static bool reg_o2n(const Oid& oid, std::string& name);
  static bool reg_n2o(std::string_view name, Oid& oid);
};

// Name of a well-known identifier without a metadata registry: the platform's
// built-in names, whatever registry is installed. False when it has none.
bool oid2name_nonmdr(const Oid& oid, std::string& name);

// Dotted text with its dots turned into blanks ("2.9.3" -> "2 9 3").
std::string oid_dot2space(std::string_view dotted);
