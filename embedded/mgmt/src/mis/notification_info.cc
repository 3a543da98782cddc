#include "mis/notification_info.h"

#include <string_view>
#include <unordered_map>
#include <vector>

#include "ber_cursor.h"
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
// Each attribute has its own bound: event times that never repeat must not
// push out the objects that do. Few attributes vary much (times, objects),
// so a thread keeps some thousands of values, as with one shared bound.
class ItemCache {
 public:
  // An attribute list's item (identifier and value) appended to out;
  // nothing when the value cannot be encoded.
  void append_item(const RecordAttribute& a, const std::string& text, std::string& out) {
    if (!cacheable(a)) {
      // Never repeated: written straight into out.
      if (!item_content(a, text, content_)) return;
      nxmp_ber::write_header(out, Asn1Value::TAG_SEQ, true, content_.size());
      out += content_;
      return;
    }
    cached(items_, a, text, [&] {
      return item_content(a, text, content_) ? Asn1Value::encode_constructed_content(Asn1Value::TAG_SEQ, content_)
                                              : Asn1Value();
    }).append_encoding(out);
  }

  // The value alone (an attribute change's old and new values).
  Asn1Value value(const RecordAttribute& a, const std::string& text) {
    if (!cacheable(a)) return encode_value(a, text);
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
  using Kept = std::unordered_map<const RecordAttribute*, std::unordered_map<std::string, Asn1Value>>;

  // An item's content, identifier then value, in content; false when the
  // value cannot be encoded or the attribute has no identifier.
  bool item_content(const RecordAttribute& a, const std::string& text, std::string& content) {
    const Asn1Value value = encode_value(a, text);
    const Asn1Value ident = value.is_null() ? Asn1Value() : id(a);
    if (ident.is_null()) return false;
    content.clear();
    ident.append_encoding(content);
    value.append_encoding(content);
    return true;
  }

  static bool cacheable(const RecordAttribute& a) {
    return a.form != Form::kText && a.form != Form::kRecordId && a.form != Form::kInteger;
  }

  template <typename Make>
  static const Asn1Value& cached(Kept& kept, const RecordAttribute& a, const std::string& text, Make make) {
    auto& of_attribute = kept[&a];
    auto found = of_attribute.find(text);
    if (found != of_attribute.end()) return found->second;
    Asn1Value made = make();
    if (of_attribute.size() >= kMost) of_attribute.clear();
    return of_attribute.emplace(text, std::move(made)).first->second;
  }

  static constexpr std::size_t kMost = 2048;  // values per attribute
  Kept items_;
  Kept values_;
  std::unordered_map<const RecordAttribute*, Asn1Value> ids_;
  std::string content_;  // scratch of item_content
};

// Each thread has its own.
ItemCache& item_cache() {
  thread_local ItemCache cache;
  return cache;
}

}  // namespace

Asn1Value attribute_list_info(const Values& values) {
  // The items are appended to one buffer and wrapped once: every record
  // created has one of these, with some twenty items.
  ItemCache& cache = item_cache();
  thread_local std::string items;
  items.clear();
  for (const auto& [name, text] : values) {
    const RecordAttribute* a = find_record_attribute(name);
    if (a == nullptr) continue;
    cache.append_item(*a, text, items);
  }
  thread_local std::string set;
  set.clear();
  nxmp_ber::write_header(set, Asn1Value::TAG_SET, true, items.size());
  set += items;
  return Asn1Value::encode_constructed_content(Asn1Value::TAG_SEQ, set);
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
