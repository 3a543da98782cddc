// Decodes arbitrary bytes as BER and walks whatever came out: no input may
// read past its end, and a decoded value must re-encode to a value that
// decodes to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "nxmp/asn1_type.h"
#include "nxmp/asn1_value.h"
#include "nxmp/oid.h"

namespace {
void walk(const Asn1Value& v, int depth) {
  long n;
  unsigned long u;
  bool b;
  std::string s;
  v.decode_int(n);
  v.decode_unsigned(u);
  v.decode_bool(b);
  if (v.decode_octets(s)) Oid::from_octets(s.data(), s.size()).dotted();
  v.retag(Asn1Value::TAG_OID);
  for (Asn1Value c = v.first_component(); c; c = c.next_component()) walk(c, depth + 1);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Asn1Value v = Asn1Value::decode(data, size);
  if (v.is_null()) return 0;
  walk(v, 0);
  Asn1Value again(v.encoding());
  if (again != v) std::abort();
  // Formatting any decoded value with a structured type must stay in bounds.
  std::string text;
  Asn1Type::by_name("AlarmInfo").format(v, text);
  Asn1Type::by_name("ObjectInstance").format(v, text);
  return 0;
}
