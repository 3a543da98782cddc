#include "nxmp/asn1_value.h"

#include <cstring>
#include <utility>

#include "ber_cursor.h"

using nxmp_ber::Cursor;
using nxmp_ber::Header;
using nxmp_ber::read_header;
using nxmp_ber::write_header;

namespace {

// Checks one element at the cursor and moves past it. With out set, appends
// its definite-length form (needed only when the input used indefinite lengths).
bool walk(Cursor& c, unsigned depth, std::string* out, bool& saw_indefinite) {
  if (depth > Asn1Value::MAX_DEPTH) return false;
  Header h;
  if (!read_header(c, h)) return false;
  if (h.tag == 0) return false;  // end-of-contents is not a value
  if (!h.constructed) {
    if (h.indefinite) return false;
    Cursor content;
    if (!c.take(h.length, content)) return false;
    if (out) {
      write_header(*out, h.tag, false, h.length);
      out->append(reinterpret_cast<const char*>(content.data()), content.left());
    }
    return true;
  }
  std::string children;
  std::string* child_out = out ? &children : nullptr;
  if (!h.indefinite) {
    Cursor content;
    if (!c.take(h.length, content)) return false;
    while (!content.empty()) {
      if (!walk(content, depth + 1, child_out, saw_indefinite)) return false;
    }
  } else {
    saw_indefinite = true;
    for (;;) {
      if (c.left() >= 2 && c.data()[0] == 0 && c.data()[1] == 0) {
        c.skip(2);
        break;
      }
      if (c.empty()) return false;
      if (!walk(c, depth + 1, child_out, saw_indefinite)) return false;
    }
  }
  if (out) {
    write_header(*out, h.tag, true, children.size());
    out->append(children);
  }
  return true;
}

}  // namespace

Asn1Value::Asn1Value(DataUnit buffer, std::size_t offset, std::size_t end)
    : buffer_(std::move(buffer)), offset_(offset), end_(end) {
  // Buffers are validated before views are made; the checks here only keep a
  // view from ever pointing outside its buffer.
  if (offset_ >= end_ || end_ > buffer_.size()) return;
  Cursor c(buffer_.data() + offset_, end_ - offset_);
  Header h;
  if (!read_header(c, h) || h.indefinite || h.length > c.left()) return;
  header_ = h.header_len;
  length_ = h.length;
  tag_ = h.tag;
  constructed_ = h.constructed;
  null_ = false;
}

Asn1Value::Asn1Value(const DataUnit& ber) { *this = decode(ber.data(), ber.size()); }

Asn1Value Asn1Value::decode(const void* bytes, std::size_t length) {
  if (!bytes || length == 0) return {};
  Cursor c(static_cast<const unsigned char*>(bytes), length);
  bool indefinite = false;
  if (!walk(c, 0, nullptr, indefinite) || !c.empty()) return {};
  if (!indefinite) {
    DataUnit unit(bytes, length);
    return Asn1Value(unit, 0, unit.size());
  }
  std::string normal;
  Cursor again(static_cast<const unsigned char*>(bytes), length);
  bool ignored = false;
  if (!walk(again, 0, &normal, ignored)) return {};
  return from_encoding(std::move(normal));
}

Asn1Value Asn1Value::from_encoding(std::string bytes) {
  DataUnit unit(std::move(bytes));
  return Asn1Value(unit, 0, unit.size());
}

std::string_view Asn1Value::view() const {
  if (null_) return {};
  return std::string_view(reinterpret_cast<const char*>(buffer_.data()) + offset_, header_ + length_);
}

DataUnit Asn1Value::encoding() const {
  if (null_) return DataUnit();
  if (offset_ == 0 && header_ + length_ == buffer_.size()) return buffer_;
  const std::string_view v = view();
  return DataUnit(v.data(), v.size());
}

DataUnit Asn1Value::content() const {
  if (null_) return DataUnit();
  return DataUnit(buffer_.data() + offset_ + header_, length_);
}

Asn1Value Asn1Value::first_component() const {
  if (!constructed() || length_ == 0) return {};
  const std::size_t start = offset_ + header_;
  return Asn1Value(buffer_, start, start + length_);
}

Asn1Value Asn1Value::next_component() const {
  if (null_) return {};
  const std::size_t next = offset_ + header_ + length_;
  if (next >= end_) return {};
  return Asn1Value(buffer_, next, end_);
}

int Asn1Value::num_comps() const {
  int n = 0;
  for (Asn1Value c = first_component(); c; c = c.next_component()) ++n;
  return n;
}

Asn1Value Asn1Value::retag(Asn1Tag tag) const {
  if (null_) return {};
  std::string out;
  write_header(out, tag, constructed_, length_);
  out.append(reinterpret_cast<const char*>(buffer_.data()) + offset_ + header_, length_);
  return from_encoding(std::move(out));
}

bool Asn1Value::decode_int(long& out) const {
  if (null_ || constructed_ || length_ == 0 || length_ > sizeof(long)) return false;
  const unsigned char* p = buffer_.data() + offset_ + header_;
  unsigned long v = (p[0] & 0x80) ? ~0UL : 0UL;
  for (std::size_t i = 0; i < length_; ++i) v = (v << 8) | p[i];
  out = static_cast<long>(v);
  return true;
}

bool Asn1Value::decode_unsigned(unsigned long& out) const {
  if (null_ || constructed_ || length_ == 0) return false;
  const unsigned char* p = buffer_.data() + offset_ + header_;
  if (p[0] & 0x80) return false;  // negative
  std::size_t i = 0;
  while (i + 1 < length_ && p[i] == 0) ++i;
  if (length_ - i > sizeof(unsigned long)) return false;
  unsigned long v = 0;
  for (; i < length_; ++i) v = (v << 8) | p[i];
  out = v;
  return true;
}

bool Asn1Value::decode_bool(bool& out) const {
  if (null_ || constructed_ || length_ != 1) return false;
  out = buffer_.data()[offset_ + header_] != 0;
  return true;
}

bool Asn1Value::decode_octets(std::string& out) const {
  if (null_ || constructed_) return false;
  out.assign(reinterpret_cast<const char*>(buffer_.data()) + offset_ + header_, length_);
  return true;
}

Asn1Value Asn1Value::encode_octets(Asn1Tag tag, const void* bytes, std::size_t length) {
  if (length && !bytes) return {};
  std::string out;
  write_header(out, tag, false, length);
  if (length) out.append(static_cast<const char*>(bytes), length);
  return from_encoding(std::move(out));
}

Asn1Value Asn1Value::encode_int(long value, Asn1Tag tag) {
  unsigned char bytes[sizeof(long)];
  unsigned long v = static_cast<unsigned long>(value);
  for (std::size_t i = 0; i < sizeof(long); ++i) {
    bytes[sizeof(long) - 1 - i] = static_cast<unsigned char>(v & 0xff);
    v >>= 8;
  }
  // Minimal two's complement: drop leading bytes that only repeat the sign.
  std::size_t start = 0;
  while (start + 1 < sizeof(long) &&
         ((bytes[start] == 0x00 && !(bytes[start + 1] & 0x80)) ||
          (bytes[start] == 0xff && (bytes[start + 1] & 0x80))))
    ++start;
  return encode_octets(tag, bytes + start, sizeof(long) - start);
}

Asn1Value Asn1Value::encode_unsigned(unsigned long value, Asn1Tag tag) {
  unsigned char bytes[sizeof(unsigned long) + 1];
  bytes[0] = 0;
  unsigned long v = value;
  for (std::size_t i = 0; i < sizeof(unsigned long); ++i) {
    bytes[sizeof(unsigned long) - i] = static_cast<unsigned char>(v & 0xff);
    v >>= 8;
  }
  std::size_t start = 0;
  while (start + 1 < sizeof(bytes) && bytes[start] == 0 && !(bytes[start + 1] & 0x80)) ++start;
  return encode_octets(tag, bytes + start, sizeof(bytes) - start);
}

Asn1Value Asn1Value::encode_bool(bool value, Asn1Tag tag) {
  const unsigned char b = value ? 0xff : 0x00;
  return encode_octets(tag, &b, 1);
}

Asn1Value Asn1Value::encode_null(Asn1Tag tag) { return encode_octets(tag, nullptr, 0); }

Asn1Value Asn1Value::encode_constructed(Asn1Tag tag, const std::vector<Asn1Value>& components) {
  std::size_t length = 0;
  for (const Asn1Value& c : components) length += c.view().size();
  std::string out;
  out.reserve(length + 16);  // with room for the header
  write_header(out, tag, true, length);
  for (const Asn1Value& c : components) out.append(c.view());
  return from_encoding(std::move(out));
}

Asn1Value Asn1Value::encode_constructed_content(Asn1Tag tag, std::string_view content) {
  std::string out;
  out.reserve(content.size() + 16);
  write_header(out, tag, true, content.size());
  out.append(content);
  return from_encoding(std::move(out));
}

bool operator==(const Asn1Value& a, const Asn1Value& b) {
  if (a.null_ || b.null_) return a.null_ == b.null_;
  return a.view() == b.view();
}
