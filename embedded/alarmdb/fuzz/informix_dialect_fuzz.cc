// Feeds arbitrary statement texts to the dialect translator: it must never
// read out of bounds, and a translated statement keeps every string literal.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "nxdb/informix_dialect.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view sql(reinterpret_cast<const char*>(data), size);
  nxdb::Translation t = nxdb::translate_informix(sql, nxdb::Dialect::kSqlite);
  if (t.kind == nxdb::Translation::Kind::kStatement) {
    // Rewriting only ever replaces DATETIME forms by one quoted literal each,
    // so the number of quote characters can only grow by pairs.
    std::size_t before = 0, after = 0;
    for (char c : sql) before += c == '\'';
    for (char c : t.sql) after += c == '\'';
    if (after < before || (after - before) % 2 != 0) std::abort();
  }
  return 0;
}
