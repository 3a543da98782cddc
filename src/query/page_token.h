// The page token: where a page read stopped, as an opaque text. It holds the
// last record's key values and table, and a hash that binds them to the log,
// the query's condition and its order, so that a token is taken only by the
// read it came from and a changed byte is noticed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "query/record_order.h"

struct PagePosition {
  std::vector<OrderValue> values;  // one per key of the order
  std::uint8_t table = 0;          // which of the log's tables the record is in
};

// No token is longer: eight keys of the longest form fit well within it.
inline constexpr std::size_t kMaxPageTokenChars = 512;
// Tables of a log a position can name.
inline constexpr std::uint8_t kPageTables = 3;

enum class TokenFault {
  kNone,
  kLength,       // empty or past kMaxPageTokenChars
  kCharacters,   // not base64url
  kVersion,      // an unknown layout
  kShape,        // keys or values that do not fit the order
  kOtherRead,    // the hash does not match: another log, query or order, or a changed byte
};

// What the token is bound to.
std::string page_binding(const std::string& log_fdn, const std::string& condition, const RecordOrder& order);

std::string encode_page_token(const RecordOrder& order, const PagePosition& position, const std::string& binding);
// Sets position only when the token is whole and was made for this binding
// and order.
TokenFault decode_page_token(std::string_view token, const RecordOrder& order, const std::string& binding,
                             PagePosition& position);
const char* token_fault_text(TokenFault fault);

// base64url without padding.
std::string base64url_encode(std::string_view bytes);
bool base64url_decode(std::string_view text, std::string& bytes);
