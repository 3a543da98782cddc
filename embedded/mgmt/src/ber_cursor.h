// Bounds-checked reading and writing of BER headers. Every read checks the
// bytes left first; a failed read leaves the cursor where it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "nxmp/asn1_value.h"

namespace nxmp_ber {

class Cursor {
 public:
  Cursor() = default;
  Cursor(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
  explicit Cursor(std::string_view bytes)
      : data_(reinterpret_cast<const unsigned char*>(bytes.data())), size_(bytes.size()) {}

  std::size_t left() const { return size_; }
  bool empty() const { return size_ == 0; }
  const unsigned char* data() const { return data_; }

  bool get_u8(unsigned char& out) {
    if (size_ < 1) return false;
    out = *data_;
    ++data_;
    --size_;
    return true;
  }
  bool peek_u8(unsigned char& out) const {
    if (size_ < 1) return false;
    out = *data_;
    return true;
  }
  // Splits the next n bytes off into out.
  bool take(std::size_t n, Cursor& out) {
    if (n > size_) return false;
    out = Cursor(data_, n);
    data_ += n;
    size_ -= n;
    return true;
  }
  bool skip(std::size_t n) {
    Cursor ignored;
    return take(n, ignored);
  }

 private:
  const unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
};

struct Header {
  Asn1Tag tag = 0;
  bool constructed = false;
  bool indefinite = false;
  std::size_t length = 0;      // content length when definite
  std::size_t header_len = 0;  // bytes of identifier and length octets
};

// Reads identifier and length octets; false when they are malformed or run
// past the input. A definite length is not checked against the bytes left.
inline bool read_header(Cursor& c, Header& h) {
  Cursor start = c;
  unsigned char b = 0;
  if (!c.get_u8(b)) return false;
  const Asn1Tag cls = b >> 6;
  h.constructed = (b & 0x20) != 0;
  Asn1Tag number = b & 0x1f;
  if (number == 0x1f) {
    number = 0;
    unsigned char nb = 0;
    int count = 0;
    do {
      if (!c.get_u8(nb) || ++count > 4) {
        c = start;
        return false;
      }
      if (count == 1 && nb == 0x80) {  // non-minimal tag number
        c = start;
        return false;
      }
      number = (number << 7) | (nb & 0x7f);
    } while (nb & 0x80);
    if (number < 0x1f || number > Asn1Value::TAG_NUMBER_MASK) {
      c = start;
      return false;
    }
  }
  h.tag = (cls << Asn1Value::CLASS_SHIFT) | number;
  unsigned char lb = 0;
  if (!c.get_u8(lb)) {
    c = start;
    return false;
  }
  h.indefinite = false;
  if (lb < 0x80) {
    h.length = lb;
  } else if (lb == 0x80) {
    h.indefinite = true;
    h.length = 0;
  } else {
    const int n = lb & 0x7f;
    if (n > 4) {  // no value of ours is 4 GiB; 0xff is reserved
      c = start;
      return false;
    }
    std::size_t len = 0;
    for (int i = 0; i < n; ++i) {
      unsigned char x = 0;
      if (!c.get_u8(x)) {
        c = start;
        return false;
      }
      len = (len << 8) | x;
    }
    h.length = len;
  }
  h.header_len = start.left() - c.left();
  return true;
}

// Base-128 digits, most significant first, the high bit set on all but the
// last: the form of high tag numbers and of object identifier arcs.
inline void append_base128(std::string& out, std::uint64_t v) {
  unsigned char groups[10];
  int n = 0;
  do {
    groups[n++] = v & 0x7f;
    v >>= 7;
  } while (v);
  while (n > 1) out.push_back(static_cast<char>(groups[--n] | 0x80));
  out.push_back(static_cast<char>(groups[0]));
}

inline void write_header(std::string& out, Asn1Tag tag, bool constructed, std::size_t length) {
  const unsigned char cls = static_cast<unsigned char>(Asn1Value::tag_class(tag) << 6);
  const Asn1Tag number = Asn1Value::tag_number(tag);
  const unsigned char form = constructed ? 0x20 : 0x00;
  if (number < 0x1f) {
    out.push_back(static_cast<char>(cls | form | number));
  } else {
    out.push_back(static_cast<char>(cls | form | 0x1f));
    append_base128(out, number);
  }
  if (length < 0x80) {
    out.push_back(static_cast<char>(length));
  } else {
    unsigned char bytes[sizeof(std::size_t)];
    int n = 0;
    std::size_t v = length;
    while (v) {
      bytes[n++] = v & 0xff;
      v >>= 8;
    }
    out.push_back(static_cast<char>(0x80 | n));
    while (n) out.push_back(static_cast<char>(bytes[--n]));
  }
}

}  // namespace nxmp_ber
