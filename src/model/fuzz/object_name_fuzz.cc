// Feeds arbitrary text to both name readers. Whatever they accept must
// format back to text that reads as the same name, in either notation.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/object_name.h"

namespace {

void check_round_trips(const ObjectName& name) {
  const std::optional<ObjectName> again = ObjectName::parse(name.str());
  if (!again || *again != name) __builtin_trap();
  if (name.empty()) return;
  const std::optional<ObjectName> printed = ObjectName::from_printed(name.printed());
  if (!printed || *printed != name) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const std::optional<ObjectName> name = ObjectName::parse(text)) check_round_trips(*name);
  if (const std::optional<ObjectName> name = ObjectName::from_printed(text)) check_round_trips(*name);
  return 0;
}
