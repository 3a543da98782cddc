// Feeds arbitrary text to the printed-name reader: it must stay within its
// input and its buffer, and always give a terminated text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "service/mis_impl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // adds the NUL
  const char* out = MisImpl::my_oi2fdn(text.c_str());
  if (std::strlen(out) >= MisImpl::FDN_BUFFER_SIZE) __builtin_trap();
  return 0;
}
