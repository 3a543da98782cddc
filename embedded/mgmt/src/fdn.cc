// fdn2oi: name texts into object-instance values.
#include <string>
#include <vector>

#include "metadata.h"
#include "nxmp/asn1_type.h"
#include "nxmp/oid.h"

namespace {

// One relative name "type=value", text already cut at unquoted slashes.
Asn1Value relative_name(std::string_view rdn) {
  const std::size_t eq = rdn.find('=');
  if (eq == std::string_view::npos || eq == 0) return {};
  const std::string_view type = rdn.substr(0, eq);
  std::string_view value = rdn.substr(eq + 1);

  Oid oid(type);
  if (oid.empty() && !OidNameRegistry::reg_n2o(type, oid)) {
    const nxmp_meta::Entry* e = nxmp_meta::find(type);
    if (!e) return {};
    oid = e->oid;
  }

  Asn1Tag text_tag = Asn1Value::TAG_GRAPHIC;
  bool numeric = false;
  if (value.substr(0, 5) == "name:") {
    value.remove_prefix(5);
  } else if (value.substr(0, 7) == "string:") {
    value.remove_prefix(7);
  } else if (value.substr(0, 7) == "number:") {
    value.remove_prefix(7);
    numeric = true;
  } else {
    numeric = !value.empty() && value[0] != '"';
  }

  Asn1Value v;
  if (numeric) {
    if (value.empty() || value.size() > 18) return {};
    long n = 0;
    std::size_t i = 0;
    bool negative = value[0] == '-';
    if (negative) i = 1;
    if (i == value.size()) return {};
    for (; i < value.size(); ++i) {
      if (value[i] < '0' || value[i] > '9') return {};
      n = n * 10 + (value[i] - '0');
    }
    v = Asn1Value::encode_int(negative ? -n : n);
  } else {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') return {};
    std::string text;
    for (std::size_t i = 1; i + 1 < value.size(); ++i) {
      if (value[i] == '"') {
        if (i + 2 < value.size() && value[i + 1] == '"') {
          text.push_back('"');
          ++i;
          continue;
        }
        return {};  // a lone quote inside the text
      }
      text.push_back(value[i]);
    }
    v = Asn1Value::encode_octets(text_tag, text);
  }
  Asn1Value ava = Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, {oid.to_value(), v});
  return Asn1Value::encode_constructed(Asn1Value::TAG_SET, {ava});
}

}  // namespace

Asn1Value fdn2oi(const DataUnit& name) {
  std::string_view text = name.view();
  Asn1Tag form = Asn1Value::TAG_CTX4;  // localDistinguishedName
  if (!text.empty() && text[0] == '/') {
    form = Asn1Value::TAG_CTX2;  // distinguishedName
    text.remove_prefix(1);
  }
  std::vector<Asn1Value> rdns;
  std::size_t start = 0;
  bool quoted = false;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] == '"') quoted = !quoted;
    if (i == text.size() || (text[i] == '/' && !quoted)) {
      if (i == text.size() && quoted) return {};
      if (i == start) {
        if (i == text.size() && rdns.empty()) break;  // the empty name
        return {};                                    // an empty relative name
      }
      Asn1Value rdn = relative_name(text.substr(start, i - start));
      if (rdn.is_null()) return {};
      rdns.push_back(rdn);
      start = i + 1;
    }
  }
  return Asn1Value::encode_constructed(form, rdns);
}
