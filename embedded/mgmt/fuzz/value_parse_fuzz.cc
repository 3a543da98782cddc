// Parses arbitrary text as value notation of the alarm information and the
// object-instance types; whatever parses must format and parse back to the
// same value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "nxmp/asn1_type.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const char* name : {"AlarmInfo", "ObjectInstance", "AdditionalInformation"}) {
    const Asn1Type type = Asn1Type::by_name(name);
    Asn1Value v = type.parse(text);
    if (v.is_null()) continue;
    std::string formatted;
    if (!type.format(v, formatted)) std::abort();
    if (type.parse(formatted) != v) std::abort();
  }
  return 0;
}
