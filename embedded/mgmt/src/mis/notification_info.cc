#include "mis/notification_info.h"

#include <string_view>
#include <unordered_map>
#include <vector>

#include "metadata.h"
#include "mis/record_attributes.h"

namespace nxmp_mis {

Asn1Value attribute_item(const std::string& name, const Asn1Value& value) {
  const nxmp_meta::Entry* e = nxmp_meta::find(std::string_view(name));
  if (e == nullptr || value.is_null()) return {};
  return Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, {e->oid.to_value(), value});
}

namespace {

// Encoded attribute items of recent values. Alarms raised together repeat
// most of their values (states, severities, classes, objects, the logging
// second), and parsing each from its notation is most of the cost of a
// creation's information. Texts, record and notification ids never repeat.
class ItemCache {
 public:
  // An attribute list's item: identifier and value.
  Asn1Value item(const RecordAttribute& a, const std::string& text) {
    return cached(items_, a, text, [&] {
      Asn1Value value = encode_value(a, text);
      Asn1Value ident = value.is_null() ? Asn1Value() : id(a);
      return ident.is_null() ? Asn1Value() : Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, {ident, value});
    });
  }

  // The value alone (an attribute change's old and new values).
  Asn1Value value(const RecordAttribute& a, const std::string& text) {
    return cached(values_, a, text, [&] { return encode_value(a, text); });
  }

  // The attribute's identifier, kept: finding it by name for every value
  // cost as much as encoding the value. Null for an unregistered name.
  Asn1Value id(const RecordAttribute& a) {
    auto known = ids_.find(&a);
    if (known == ids_.end()) {
      const nxmp_meta::Entry* e = nxmp_meta::find(std::string_view(a.name));
      known = ids_.emplace(&a, e != nullptr ? e->oid.to_value() : Asn1Value()).first;
    }
    return known->second;
  }

 private:
  using Kept = std::unordered_map<std::string, Asn1Value>;

  template <typename Make>
  Asn1Value cached(Kept& kept, const RecordAttribute& a, const std::string& text, Make make) {
    if (a.form == Form::kText || a.form == Form::kRecordId || a.form == Form::kInteger) return make();
    key_.assign(a.name);
    key_ += '\0';
    key_ += text;
    auto found = kept.find(key_);
    if (found != kept.end()) return found->second;
    Asn1Value made = make();
    if (kept.size() >= kMost) kept.clear();
    kept.emplace(key_, made);
    return made;
  }

  static constexpr std::size_t kMost = 4096;
  Kept items_;
  Kept values_;
  std::unordered_map<const RecordAttribute*, Asn1Value> ids_;
  std::string key_;
};

// Each thread has its own.
ItemCache& item_cache() {
  thread_local ItemCache cache;
  return cache;
}

}  // namespace

Asn1Value attribute_list_info(const Values& values) {
  ItemCache& cache = item_cache();
  std::vector<Asn1Value> items;
  items.reserve(values.size());
  for (const auto& [name, text] : values) {
    const RecordAttribute* a = find_record_attribute(name);
    if (a == nullptr) continue;
    items.push_back(cache.item(*a, text));
  }
  return Asn1Value::encode_constructed(
      Asn1Value::TAG_SEQ, {Asn1Value::encode_constructed(Asn1Value::TAG_SET, items)});
}

Asn1Value value_change_info(const Values& before, const Values& after) {
  ItemCache& cache = item_cache();
  std::vector<Asn1Value> items;
  for (const auto& [name, text] : after) {
    const RecordAttribute* a = find_record_attribute(name);
    if (a == nullptr) continue;
    Asn1Value ident = cache.id(*a);
    Asn1Value now = ident.is_null() ? Asn1Value() : cache.value(*a, text);
    if (now.is_null()) continue;
    std::vector<Asn1Value> parts = {ident};
    auto old = before.find(name);
    if (old != before.end()) {
      Asn1Value was = cache.value(*a, old->second);
      if (!was.is_null()) parts.push_back(Asn1Value::encode_tagged(Asn1Value::TAG_CTX1, was));
    }
    parts.push_back(Asn1Value::encode_tagged(Asn1Value::TAG_CTX2, now));
    items.push_back(Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, parts));
  }
  return Asn1Value::encode_constructed(
      Asn1Value::TAG_SEQ, {Asn1Value::encode_constructed(Asn1Value::TAG_SET, items)});
}

}  // namespace nxmp_mis
