// Feeds arbitrary text to the page token decoder, under two orders. A token
// it takes must hold one value per key, each in its key's range, and encode
// back to the very same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "query/page_token.h"

namespace {

const RecordOrder& order(bool several) {
  static const RecordOrder one = [] {
    RecordOrder o;
    o.add("eventTime", true);
    return o;
  }();
  static const RecordOrder three = [] {
    RecordOrder o;
    o.add("perceivedSeverity", true);
    o.add("ackTime", false);
    return o;
  }();
  return several ? three : one;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (bool several : {false, true}) {
    const RecordOrder& o = order(several);
    const std::string binding = page_binding("log", "", o);
    PagePosition position;
    if (decode_page_token(text, o, binding, position) != TokenFault::kNone) continue;
    if (position.values.size() != o.keys().size() || position.table >= kPageTables) __builtin_trap();
    for (std::size_t i = 0; i < o.keys().size(); ++i) {
      const OrderValue& v = position.values[i];
      if (o.keys()[i].kind == OrderKind::kTime && v.time.size() != 14) __builtin_trap();
      if (o.keys()[i].kind == OrderKind::kRank && (v.number < -1 || v.number > 5)) __builtin_trap();
    }
    if (encode_page_token(o, position, binding) != text) __builtin_trap();
  }
  return 0;
}
