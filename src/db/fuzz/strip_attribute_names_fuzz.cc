// strip_attribute_names on arbitrary text: it may only shrink the text, and
// every "attributeValue" of the input stays in the output.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "db/attr_decoder.h"

namespace {
std::size_t count(const char* text) {
  std::size_t n = 0;
  for (const char* p = std::strstr(text, "attributeValue"); p; p = std::strstr(p + 1, "attributeValue")) ++n;
  return n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  const std::size_t before = std::strlen(text.data());
  const std::size_t keywords = count(text.data());
  strip_attribute_names(text.data());
  if (std::strlen(text.data()) > before) std::abort();
  if (count(text.data()) < keywords) std::abort();
  return 0;
}
