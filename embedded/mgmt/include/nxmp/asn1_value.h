// Asn1Value: one BER-encoded ASN.1 value, immutable and cheap to copy.
//
// A value is a view of a shared DataUnit holding validated, definite-length
// BER: decoding checks the whole input once (indefinite lengths are accepted
// and rewritten as definite ones), so components of a value share its bytes.
// Malformed input never gives a partial value: the result is null.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "nxmp/data_unit.h"

// Tag class in the top bits, tag number below: universal tags are their
// numbers, context tags are Asn1Value::context_tag(n).
using Asn1Tag = std::uint32_t;

namespace asn1_tag {
constexpr Asn1Tag CLASS_SHIFT = 28;
constexpr Asn1Tag NUMBER_MASK = (Asn1Tag{1} << CLASS_SHIFT) - 1;
// cls: 0 universal, 1 application, 2 context-specific, 3 private.
constexpr Asn1Tag make(Asn1Tag cls, Asn1Tag number) { return (cls << CLASS_SHIFT) | number; }
}  // namespace asn1_tag

class Asn1Value {
 public:
  static constexpr Asn1Tag CLASS_SHIFT = asn1_tag::CLASS_SHIFT;
  static constexpr Asn1Tag TAG_NUMBER_MASK = asn1_tag::NUMBER_MASK;
  static constexpr Asn1Tag universal_tag(Asn1Tag n) { return n; }
  static constexpr Asn1Tag application_tag(Asn1Tag n) { return asn1_tag::make(1, n); }
  static constexpr Asn1Tag context_tag(Asn1Tag n) { return asn1_tag::make(2, n); }
  static constexpr Asn1Tag private_tag(Asn1Tag n) { return asn1_tag::make(3, n); }
  static constexpr unsigned tag_class(Asn1Tag t) { return t >> CLASS_SHIFT; }
  static constexpr Asn1Tag tag_number(Asn1Tag t) { return t & TAG_NUMBER_MASK; }

  static constexpr Asn1Tag TAG_BOOL = 1;
  static constexpr Asn1Tag TAG_INT = 2;
  static constexpr Asn1Tag TAG_BITS = 3;
  static constexpr Asn1Tag TAG_OCTETS = 4;
  static constexpr Asn1Tag TAG_NULL = 5;
  static constexpr Asn1Tag TAG_OID = 6;
  static constexpr Asn1Tag TAG_REAL = 9;
  static constexpr Asn1Tag TAG_ENUM = 10;
  static constexpr Asn1Tag TAG_UTF8 = 12;
  static constexpr Asn1Tag TAG_SEQ = 16;
  static constexpr Asn1Tag TAG_SET = 17;
  static constexpr Asn1Tag TAG_PRINTABLE = 19;
  static constexpr Asn1Tag TAG_IA5 = 22;
  static constexpr Asn1Tag TAG_UTCTIME = 23;
  static constexpr Asn1Tag TAG_GENTIME = 24;
  static constexpr Asn1Tag TAG_GRAPHIC = 25;
  static constexpr Asn1Tag TAG_VISIBLE = 26;
  static constexpr Asn1Tag TAG_GENERAL = 27;
  static constexpr Asn1Tag TAG_CTX0 = asn1_tag::make(2, 0);
  static constexpr Asn1Tag TAG_CTX1 = asn1_tag::make(2, 1);
  static constexpr Asn1Tag TAG_CTX2 = asn1_tag::make(2, 2);
  static constexpr Asn1Tag TAG_CTX3 = asn1_tag::make(2, 3);
  static constexpr Asn1Tag TAG_CTX4 = asn1_tag::make(2, 4);
  static constexpr Asn1Tag TAG_CTX5 = asn1_tag::make(2, 5);
  static constexpr Asn1Tag TAG_CTX6 = asn1_tag::make(2, 6);
  static constexpr Asn1Tag TAG_CTX7 = asn1_tag::make(2, 7);

  // Deepest nesting accepted on input; deeper input is refused, not recursed into.
  static constexpr unsigned MAX_DEPTH = 64;

  // The null value.
  Asn1Value() = default;
  // Decodes exactly one value filling the whole unit; null when malformed,
  // truncated, nested deeper than MAX_DEPTH or followed by further bytes.
  explicit Asn1Value(const DataUnit& ber);
  static Asn1Value decode(const void* bytes, std::size_t length);

  bool is_null() const { return null_; }
  explicit operator bool() const { return !null_; }

  // Null values have tag 0 and are neither constructed nor primitive.
  Asn1Tag tag() const { return tag_; }
  bool constructed() const { return !null_ && constructed_; }

  // The value's definite-length BER encoding (empty for null), and its
  // content octets.
  DataUnit encoding() const;
  DataUnit content() const;
  std::size_t encoded_size() const { return null_ ? 0 : header_ + length_; }

  // Components of a constructed value, in order. first_component of a
  // primitive or empty value, and next_component after the last one, are null.
  Asn1Value first_component() const;
  Asn1Value next_component() const;
  int num_comps() const;
  // The one value inside an explicitly tagged value (its first component).
  Asn1Value tagged_component() const { return first_component(); }
  // The same content under another tag (form kept): undoes implicit tagging.
  Asn1Value retag(Asn1Tag tag) const;

  // Content decoders; false (output untouched) when the value does not have
  // the form. The tag is not checked, so implicitly tagged and ENUMERATED
  // values decode as integers.
  bool decode_int(long& out) const;
  bool decode_unsigned(unsigned long& out) const;
  bool decode_bool(bool& out) const;
  // Content octets of a primitive value.
  bool decode_octets(std::string& out) const;

  // Encoders.
  static Asn1Value encode_octets(Asn1Tag tag, const void* bytes, std::size_t length);
  static Asn1Value encode_octets(Asn1Tag tag, std::string_view bytes) {
    return encode_octets(tag, bytes.data(), bytes.size());
  }
  static Asn1Value encode_int(long value, Asn1Tag tag = TAG_INT);
  static Asn1Value encode_unsigned(unsigned long value, Asn1Tag tag = TAG_INT);
  static Asn1Value encode_bool(bool value, Asn1Tag tag = TAG_BOOL);
  static Asn1Value encode_null(Asn1Tag tag = TAG_NULL);
  // A constructed value of the given components; null components are left out.
  static Asn1Value encode_constructed(Asn1Tag tag, const std::vector<Asn1Value>& components);
  // The same of components already encoded one after another in content.
  static Asn1Value encode_constructed_content(Asn1Tag tag, std::string_view content);
  // The value's encoding appended to out (nothing for null).
  void append_encoding(std::string& out) const { out.append(view()); }
  // Explicit tagging: a constructed value holding just inner.
  static Asn1Value encode_tagged(Asn1Tag tag, const Asn1Value& inner) {
    return encode_constructed(tag, {inner});
  }

  // The concrete value behind a parsed value. Values this platform parses
  // carry no unresolved open types, so this is the value itself; a null
  // value stays null. The arguments are accepted for callers' compatibility.
  Asn1Value determine_real_val(int flags, int depth) const { return *this; }

  // Equal encodings.
  friend bool operator==(const Asn1Value& a, const Asn1Value& b);
  friend bool operator!=(const Asn1Value& a, const Asn1Value& b) { return !(a == b); }

 private:
  Asn1Value(DataUnit buffer, std::size_t offset, std::size_t end);
  static Asn1Value from_encoding(std::string bytes);
  std::string_view view() const;

  DataUnit buffer_;
  std::size_t offset_ = 0;   // start of this value's header in buffer_
  std::size_t header_ = 0;   // header length
  std::size_t length_ = 0;   // content length
  std::size_t end_ = 0;      // end of the enclosing content: where siblings stop
  Asn1Tag tag_ = 0;
  bool constructed_ = false;
  bool null_ = true;
};

// An array of values sized by its user, indexed from 0 (index checked).
class Asn1ValueArray {
 public:
  Asn1ValueArray() = default;
  explicit Asn1ValueArray(std::size_t size) : items_(size) {}
  void resize(std::size_t size) { items_.assign(size, Asn1Value()); }
  void clear() { items_.clear(); }
  std::size_t size() const { return items_.size(); }
  Asn1Value& operator[](std::size_t i) { return items_.at(i); }
  const Asn1Value& operator[](std::size_t i) const { return items_.at(i); }

 private:
  std::vector<Asn1Value> items_;
};
