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
  Asn1Value item(const RecordAttribute& a, const std::string& text) {
    if (!repeats(a)) return new_item(a, text);
    set_key(a, text);
    auto found = items_.find(key_);
    if (found != items_.end()) return found->second;
    Asn1Value item = new_item(a, text);
    if (items_.size() >= kMost) items_.clear();
    items_.emplace(key_, item);
    return item;
  }

  // The value alone (an attribute change's old and new values).
  Asn1Value value(const RecordAttribute& a, const std::string& text) {
    if (!repeats(a)) return encode_value(a, text);
    set_key(a, text);
    auto found = values_.find(key_);
    if (found != values_.end()) return found->second;
    Asn1Value value = encode_value(a, text);
    if (values_.size() >= kMost) values_.clear();
    values_.emplace(key_, value);
    return value;
  }

 private:
  static bool repeats(const RecordAttribute& a) {
    return a.form != Form::kText && a.form != Form::kRecordId && a.form != Form::kInteger;
  }
  void set_key(const RecordAttribute& a, const std::string& text) {
    key_.assign(a.name);
    key_ += '\0';
    key_ += text;
  }

  // The attribute's identifier is kept: finding it by name for every value
  // cost as much as encoding the value.
  Asn1Value new_item(const RecordAttribute& a, const std::string& text) {
    Asn1Value value = encode_value(a, text);
    if (value.is_null()) return {};
    auto id = ids_.find(&a);
    if (id == ids_.end()) {
      const nxmp_meta::Entry* e = nxmp_meta::find(std::string_view(a.name));
      if (e == nullptr) return {};
      id = ids_.emplace(&a, e->oid.to_value()).first;
    }
    return Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, {id->second, value});
  }

  static constexpr std::size_t kMost = 4096;
  std::unordered_map<std::string, Asn1Value> items_;
  std::unordered_map<std::string, Asn1Value> values_;
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
    const nxmp_meta::Entry* e = nxmp_meta::find(std::string_view(name));
    if (a == nullptr || e == nullptr) continue;
    Asn1Value now = cache.value(*a, text);
    if (now.is_null()) continue;
    std::vector<Asn1Value> parts = {e->oid.to_value()};
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
