#include "query/page_token.h"

namespace {

constexpr std::uint8_t kVersion = 1;
constexpr std::size_t kHashBytes = 8;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// FNV-1a, 64 bits: tokens must survive the process (a command line goes on
// with the token of another run), so the hash has no secret; it only binds
// a token to its read. Whatever a token says is bound as a parameter.
std::uint64_t hash_of(std::string_view a, std::string_view b) {
  std::uint64_t h = 14695981039346656037ull;
  for (std::string_view part : {std::string_view("nxpage\0", 7), a, b}) {
    for (unsigned char c : part) {
      h ^= c;
      h *= 1099511628211ull;
    }
  }
  return h;
}

void put_u64(std::string& out, std::uint64_t v) {
  for (int shift = 56; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xff);
}

std::uint64_t get_u64(std::string_view in) {
  std::uint64_t v = 0;
  for (unsigned char c : in.substr(0, 8)) v = (v << 8) | c;
  return v;
}

bool valid_time(const std::string& d) {
  if (d.size() != 14) return false;
  for (char c : d) {
    if (c < '0' || c > '9') return false;
  }
  const auto n = [&](std::size_t at, std::size_t len) { return std::stoi(d.substr(at, len)); };
  return n(4, 2) >= 1 && n(4, 2) <= 12 && n(6, 2) >= 1 && n(6, 2) <= 31 && n(8, 2) <= 23 && n(10, 2) <= 59 &&
         n(12, 2) <= 59;
}

int value_of(char c) {
  for (int i = 0; i < 64; ++i) {
    if (kAlphabet[i] == c) return i;
  }
  return -1;
}

}  // namespace

std::string base64url_encode(std::string_view bytes) {
  std::string out;
  std::uint32_t acc = 0;
  int bits = 0;
  for (unsigned char c : bytes) {
    acc = (acc << 8) | c;
    bits += 8;
    while (bits >= 6) {
      bits -= 6;
      out += kAlphabet[(acc >> bits) & 63];
    }
  }
  if (bits > 0) out += kAlphabet[(acc << (6 - bits)) & 63];
  return out;
}

bool base64url_decode(std::string_view text, std::string& bytes) {
  bytes.clear();
  // A length of 1 mod 4 holds a partial byte only: no encoder writes it.
  if (text.size() % 4 == 1) return false;
  std::uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    const int v = value_of(c);
    if (v < 0) return false;
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((acc >> bits) & 0xff);
    }
  }
  // The bits left over must be zero, so one byte string has one text.
  return (acc & ((1u << bits) - 1)) == 0;
}

std::string page_binding(const std::string& log_fdn, const std::string& condition, const RecordOrder& order) {
  std::string b;
  b += log_fdn;
  b += '\0';
  b += condition;
  b += '\0';
  b += order.describe();
  return b;
}

std::string encode_page_token(const RecordOrder& order, const PagePosition& position, const std::string& binding) {
  const std::vector<OrderKey>& keys = order.keys();
  std::string raw;
  raw += static_cast<char>(kVersion);
  raw += static_cast<char>(keys.size());
  raw += static_cast<char>(position.table);
  for (std::size_t i = 0; i < keys.size() && i < position.values.size(); ++i) {
    raw += static_cast<char>(keys[i].kind);
    raw += static_cast<char>(keys[i].descending ? 1 : 0);
    const OrderValue& v = position.values[i];
    switch (keys[i].kind) {
      case OrderKind::kTime:
        raw += v.time;
        break;
      case OrderKind::kRank:
        raw += static_cast<char>(v.number + 1);
        break;
      case OrderKind::kId:
        put_u64(raw, static_cast<std::uint64_t>(v.number));
        break;
    }
  }
  put_u64(raw, hash_of(binding, raw));
  return base64url_encode(raw);
}

TokenFault decode_page_token(std::string_view token, const RecordOrder& order, const std::string& binding,
                             PagePosition& position) {
  if (token.empty() || token.size() > kMaxPageTokenChars) return TokenFault::kLength;
  std::string raw;
  if (!base64url_decode(token, raw)) return TokenFault::kCharacters;
  if (raw.size() < 3 + kHashBytes) return TokenFault::kShape;
  if (static_cast<std::uint8_t>(raw[0]) != kVersion) return TokenFault::kVersion;
  const std::string_view body(raw.data(), raw.size() - kHashBytes);
  // The hash first: a token of another read must say so, whatever its shape.
  if (get_u64(std::string_view(raw).substr(body.size())) != hash_of(binding, body)) return TokenFault::kOtherRead;

  const std::vector<OrderKey>& keys = order.keys();
  if (static_cast<std::uint8_t>(raw[1]) != keys.size()) return TokenFault::kShape;
  PagePosition out;
  out.table = static_cast<std::uint8_t>(raw[2]);
  if (out.table >= kPageTables) return TokenFault::kShape;
  std::size_t at = 3;
  for (const OrderKey& key : keys) {
    if (body.size() - at < 2 || static_cast<std::uint8_t>(body[at]) != static_cast<std::uint8_t>(key.kind) ||
        static_cast<std::uint8_t>(body[at + 1]) != (key.descending ? 1 : 0)) {
      return TokenFault::kShape;
    }
    at += 2;
    OrderValue v;
    switch (key.kind) {
      case OrderKind::kTime:
        if (body.size() - at < 14) return TokenFault::kShape;
        v.time.assign(body.substr(at, 14));
        if (!valid_time(v.time)) return TokenFault::kShape;
        at += 14;
        break;
      case OrderKind::kRank:
        if (body.size() - at < 1) return TokenFault::kShape;
        v.number = static_cast<long long>(static_cast<std::uint8_t>(body[at])) - 1;
        if (v.number < -1 || v.number > 5) return TokenFault::kShape;
        at += 1;
        break;
      case OrderKind::kId:
        if (body.size() - at < 8) return TokenFault::kShape;
        v.number = static_cast<long long>(get_u64(body.substr(at, 8)));
        at += 8;
        break;
    }
    out.values.push_back(std::move(v));
  }
  if (at != body.size()) return TokenFault::kShape;
  position = std::move(out);
  return TokenFault::kNone;
}

const char* token_fault_text(TokenFault fault) {
  switch (fault) {
    case TokenFault::kNone:
      return "a valid token";
    case TokenFault::kLength:
      return "the token is empty or too long";
    case TokenFault::kCharacters:
      return "the token is not base64url text";
    case TokenFault::kVersion:
      return "the token has an unknown layout";
    case TokenFault::kShape:
      return "the token's keys do not fit the query's order";
    case TokenFault::kOtherRead:
      return "the token was made for another log, selection or order, or was changed";
  }
  return "an unknown fault";
}
