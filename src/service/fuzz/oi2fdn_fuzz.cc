// Feeds arbitrary text to the printed-name reader: it must stay within its
// input, and whatever it gives must be empty or a whole name of bounded size.
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/object_name.h"
#include "service/mis_impl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // adds the NUL
  const std::string out = MisImpl::my_oi2fdn(text.c_str());
  if (out.size() > ObjectName::kMaxText) __builtin_trap();
  if (!out.empty() && !ObjectName::parse(out)) __builtin_trap();
  return 0;
}
