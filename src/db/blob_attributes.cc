#include "db/blob_attributes.h"

#include "db/attr_decoder.h"

bool BlobScratch::short_name(const Oid& oid, const std::string*& name) {
  std::shared_ptr<const OidNameRegistry> registry = OidNameRegistry::get();
  if (registry != registry_) {
    names_.clear();
    registry_ = std::move(registry);
  }
  auto it = names_.find(oid.octets());
  if (it == names_.end()) {
    if (names_.size() >= kMaxNames) names_.clear();
    std::string full;
    Entry entry{false, std::string()};
    if (OidNameRegistry::reg_o2n(oid, full)) {
      const std::string::size_type colon = full.rfind(':');
      entry = Entry{true, colon == std::string::npos ? full : full.substr(colon + 1)};
    }
    it = names_.emplace(oid.octets(), std::move(entry)).first;
  }
  name = &it->second.name;
  return it->second.known;
}

void parse_blob_attributes(const NXDBBlob& blob, OidArray& ids, Asn1ValueArray& values) {
  if (blob.length() == 0) {
    ids.clear();
    values.clear();
    return;
  }
  // A blob that does not decode adds no attributes: the columns then speak.
  const Asn1Value list = Asn1Value::decode(blob.data(), blob.length());
  const int n = list.is_null() ? 0 : list.num_comps();
  ids.resize(static_cast<std::size_t>(n));
  values.resize(static_cast<std::size_t>(n));
  int i = 0;
  for (Asn1Value attribute = list.first_component(); !attribute.is_null() && i < n;
       attribute = attribute.next_component(), ++i) {
    const Asn1Value id = attribute.first_component();
    ids[i] = Oid::from_value(id.retag(Asn1Value::TAG_OID));
    values[i] = id.is_null() ? Asn1Value() : id.next_component();
  }
}

bool blob_attribute_text(std::string_view name, const OidArray& ids, const Asn1ValueArray& blob_values,
                         BlobScratch& scratch, std::string& out) {
  if (ids.size() == 0) return false;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const std::string* short_name = nullptr;
    if (ids[i].empty() || !scratch.short_name(ids[i], short_name)) continue;
    if (*short_name != name) continue;
    char* buffer = scratch.buffer();
    buffer[0] = '\0';
    // A value that does not decode leaves the buffer empty: an empty text.
    AttrDecoder::decode_attr(*short_name, blob_values[i], buffer, ids[i], 1);
    buffer[BlobScratch::kBufferSize - 1] = '\0';
    out = buffer;
    return true;
  }
  return false;
}
