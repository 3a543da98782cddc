// Decoding a stored blob of 20 attributes into attribute texts, the work the
// database reader does for every alarm row.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "db/attr_decoder.h"

namespace {

DataUnit make_blob() {
  auto attr = [](const char* oid, const Asn1Value& v) {
    return Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, {Oid(oid).to_value(Asn1Value::TAG_CTX0), v});
  };
  const std::string nx = "1.3.6.1.4.1.32473.1.7.";
  std::vector<Asn1Value> attrs = {
      attr("2.9.3.2.7.17", Asn1Value::encode_int(2, Asn1Value::TAG_ENUM)),
      attr("2.9.3.2.7.18", Oid("2.9.3.2.0.0.3").to_value()),
      attr("2.9.3.2.7.14", Oid("2.9.3.2.10.2").to_value(Asn1Value::context_tag(6))),
      attr("2.9.3.2.7.13", Asn1Value::encode_octets(Asn1Value::TAG_GENTIME, "20240501120000Z")),
      attr("2.9.3.2.7.59", Asn1Value::encode_octets(Asn1Value::TAG_GENTIME, "20240501120001Z")),
      attr("2.9.3.2.7.7", Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "link down on port 7")),
      attr("2.9.3.2.7.11", Asn1Value::encode_bool(false)),
      attr("2.9.3.2.7.30", Asn1Value::encode_int(1, Asn1Value::TAG_ENUM)),
      attr("2.9.3.2.7.61", fdn2oi(DataUnit("/systemId=name:\"alpha\"/logId=string:\"AlarmLog\""))),
      attr("2.9.3.2.7.60", Oid("2.9.3.2.3.13").to_value(Asn1Value::TAG_CTX0)),
  };
  for (int i = 1; i <= 10; ++i) {
    Asn1Value v;
    if (i == 1 || i == 5 || i == 9) {
      v = Asn1Value::encode_int(1);
    } else if (i == 3 || i == 7 || i == 11) {
      v = Asn1Value::encode_octets(Asn1Value::TAG_CTX0, "20240501130000Z");
    } else {
      v = Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, "operator");
    }
    attrs.push_back(attr((nx + std::to_string(i)).c_str(), v));
  }
  return Asn1Value::encode_constructed(Asn1Value::TAG_SET, attrs).encoding();
}

void BM_DecodeBlobOf20Attributes(benchmark::State& state) {
  const DataUnit blob = make_blob();
  std::vector<char> buffer(64 * 1024);
  OidArray ids;
  Asn1ValueArray values;
  std::vector<std::string> texts;
  for (auto _ : state) {
    Asn1Value list(blob);
    const int n = list.num_comps();
    ids.resize(n);
    values.resize(n);
    int i = 0;
    for (Asn1Value c = list.first_component(); c && i < n; c = c.next_component(), ++i) {
      Asn1Value id = c.first_component();
      ids[i] = Oid::from_value(id.retag(Asn1Value::TAG_OID));
      values[i] = id.next_component();
    }
    texts.clear();
    for (std::size_t k = 0; k < ids.size(); ++k) {
      std::string name;
      OidNameRegistry::reg_o2n(ids[k], name);
      const std::string short_name = name.substr(name.rfind(':') + 1);
      buffer[0] = '\0';
      AttrDecoder::decode_attr(short_name, values[k], buffer.data(), ids[k], 1);
      texts.emplace_back(buffer.data());
    }
    benchmark::DoNotOptimize(texts.data());
  }
  if (texts.size() != 20) state.SkipWithError("blob did not decode into 20 texts");
  state.SetItemsProcessed(state.iterations() * 20);
}
BENCHMARK(BM_DecodeBlobOf20Attributes);

}  // namespace

BENCHMARK_MAIN();
