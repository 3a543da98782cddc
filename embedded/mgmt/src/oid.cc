#include "nxmp/oid.h"

#include <cstdio>
#include <cstring>

#include "ber_cursor.h"

namespace {

// Splits content octets into subidentifiers; false when they are malformed
// (truncated, non-minimal, or beyond 64 bits).
bool subidentifiers(std::string_view octets, std::vector<std::uint64_t>& out) {
  out.clear();
  if (octets.empty()) return false;
  std::uint64_t v = 0;
  bool fresh = true;
  for (unsigned char b : octets) {
    if (fresh && b == 0x80) return false;
    if (v > (UINT64_MAX >> 7)) return false;
    v = (v << 7) | (b & 0x7f);
    fresh = false;
    if (!(b & 0x80)) {
      out.push_back(v);
      v = 0;
      fresh = true;
    }
  }
  return fresh;  // the last byte ended a subidentifier
}

}  // namespace

Oid::Oid(std::string_view dotted) {
  std::vector<std::uint64_t> arcs;
  std::size_t i = 0;
  while (i <= dotted.size()) {
    std::size_t j = i;
    std::uint64_t v = 0;
    while (j < dotted.size() && dotted[j] >= '0' && dotted[j] <= '9') {
      const unsigned d = static_cast<unsigned>(dotted[j] - '0');
      if (v > (UINT64_MAX - d) / 10) return;
      v = v * 10 + d;
      ++j;
    }
    if (j == i) return;  // empty arc or stray character
    if (j - i > 1 && dotted[i] == '0') return;
    arcs.push_back(v);
    if (j == dotted.size()) break;
    if (dotted[j] != '.') return;
    i = j + 1;
    if (i == dotted.size()) return;  // trailing dot
  }
  if (arcs.size() < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] >= 40)) return;
  if (arcs[1] > UINT64_MAX - 80) return;
  std::string out;
  nxmp_ber::append_base128(out, arcs[0] * 40 + arcs[1]);
  for (std::size_t k = 2; k < arcs.size(); ++k) nxmp_ber::append_base128(out, arcs[k]);
  octets_ = std::move(out);
}

Oid Oid::from_octets(const void* bytes, std::size_t length) {
  Oid oid;
  if (!bytes || !length) return oid;
  std::string_view octets(static_cast<const char*>(bytes), length);
  std::vector<std::uint64_t> subs;
  if (!subidentifiers(octets, subs)) return oid;
  oid.octets_.assign(octets);
  return oid;
}

Oid Oid::from_value(const Asn1Value& value) {
  std::string octets;
  if (!value.decode_octets(octets)) return Oid();
  return from_octets(octets.data(), octets.size());
}

std::vector<std::uint64_t> Oid::arcs() const {
  std::vector<std::uint64_t> subs;
  if (!subidentifiers(octets_, subs)) return {};
  std::vector<std::uint64_t> arcs;
  const std::uint64_t first = subs[0];
  if (first < 40) {
    arcs = {0, first};
  } else if (first < 80) {
    arcs = {1, first - 40};
  } else {
    arcs = {2, first - 80};
  }
  arcs.insert(arcs.end(), subs.begin() + 1, subs.end());
  return arcs;
}

std::string Oid::dotted() const {
  std::string out;
  for (std::uint64_t a : arcs()) {
    if (!out.empty()) out.push_back('.');
    out += std::to_string(a);
  }
  return out;
}

int Oid::format(char* buf, std::size_t room) const {
  if (!buf || room == 0) return -1;
  const std::string text = dotted();
  if (text.empty() || text.size() + 1 > room) {
    buf[0] = '\0';
    return -1;
  }
  std::memcpy(buf, text.c_str(), text.size() + 1);
  return static_cast<int>(text.size());
}

Asn1Value Oid::to_value(Asn1Tag tag) const {
  if (empty()) return {};
  return Asn1Value::encode_octets(tag, octets_);
}

std::string oid_dot2space(std::string_view dotted) {
  std::string out(dotted);
  for (char& c : out)
    if (c == '.') c = ' ';
  return out;
}
