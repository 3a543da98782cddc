// One row's common columns and blob attributes into attribute pairs.
#include <cstdio>
#include <memory>
#include <unordered_map>
#include <vector>

#include "db/attr_decoder.h"
#include "db/database_impl.h"
#include "db/database_row.h"
#include "query/alarm_columns.h"

namespace {

// The decoding buffer, shared by all rows: the blob values of one row are
// decoded one after another.
char* decode_buffer() {
  static std::vector<char> buffer(DatabaseImpl::DECODE_BUFFER_SIZE);
  return buffer.data();
}

// Column reads are not checked: a column the row lacks reads as NULL.
std::string column_text(const NXDBRow& row, const char* column) {
  std::string text;
  if (const NXDBValue* value = row.column(column)) *value >> text;
  return text;
}

int column_int(const NXDBRow& row, const char* column) {
  int number = 0;
  if (const NXDBValue* value = row.column(column)) *value >> number;
  return number;
}

// Short attribute names of identifiers (the registry name after its last
// ':'), remembered per installed registry: every row asks for the same few.
class ShortNames {
 public:
  // False when the registry has no name for the identifier.
  bool lookup(const Oid& oid, const std::string*& name) {
    std::shared_ptr<const OidNameRegistry> registry = OidNameRegistry::get();
    if (registry.get() != registry_) {
      names_.clear();
      registry_ = registry.get();
    }
    auto it = names_.find(oid.octets());
    if (it == names_.end()) {
      std::string full;
      if (names_.size() >= kMaxEntries) names_.clear();
      if (OidNameRegistry::reg_o2n(oid, full)) {
        const std::string::size_type colon = full.rfind(':');
        it = names_.emplace(oid.octets(), Entry{true, colon == std::string::npos
                                                          ? full
                                                          : full.substr(colon + 1)})
                 .first;
      } else {
        it = names_.emplace(oid.octets(), Entry{false, std::string()}).first;
      }
    }
    name = &it->second.name;
    return it->second.known;
  }

 private:
  static constexpr std::size_t kMaxEntries = 4096;
  struct Entry {
    bool known;
    std::string name;
  };
  const OidNameRegistry* registry_ = nullptr;
  std::unordered_map<std::string, Entry> names_;
};

ShortNames& short_names() {
  static ShortNames names;
  return names;
}

void append(std::list<std::string>& names, std::list<std::string>& values, int& count,
            const char* name, std::string value) {
  names.emplace_back(name);
  values.push_back(std::move(value));
  ++count;
}

}  // namespace

void DatabaseImpl::parse_blob_info(const NXDBBlob& blob, OidArray& ids, Asn1ValueArray& values) {
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

bool DatabaseImpl::set_attr_from_blob(const std::string& name, std::list<std::string>& names,
                                      std::list<std::string>& values, int& count, OidArray& ids,
                                      Asn1ValueArray& blob_values) {
  char* buffer = decode_buffer();
  buffer[0] = '\0';
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const std::string* short_name = nullptr;
    if (ids[i].empty() || !short_names().lookup(ids[i], short_name)) continue;
    if (*short_name != name) continue;
    names.push_back(*short_name);
    // A value that does not decode leaves the buffer empty: an empty text.
    AttrDecoder::decode_attr(*short_name, blob_values[i], buffer, ids[i], 1);
    buffer[DECODE_BUFFER_SIZE - 1] = '\0';
    values.emplace_back(buffer);
    ++count;
    return true;
  }
  return false;
}

namespace {

// The blob-first rule: the blob's value when it has the attribute, else the
// column's text when not empty, else nothing (or, with always, an empty text).
// convert turns a column text into the stored form; it may refuse with "".
template <typename Convert>
void blob_first(DatabaseImpl& db, const NXDBRow& row, const char* name, const char* column,
                int& count, std::list<std::string>& names, std::list<std::string>& values,
                int& blob_parsed, OidArray& ids, Asn1ValueArray& blob_values, bool always,
                Convert convert) {
  std::string text = column_text(row, column);
  if (blob_parsed == 0) {
    NXDBBlob blob;
    if (const NXDBValue* value = row.column("Blob")) *value >> blob;
    db.parse_blob_info(blob, ids, blob_values);
    blob_parsed = 1;
  }
  if (db.set_attr_from_blob(name, names, values, count, ids, blob_values)) return;
  if (!text.empty()) text = convert(text);
  if (!text.empty() || always) append(names, values, count, name, std::move(text));
}

struct AsIs {
  std::string operator()(std::string& text) const { return std::move(text); }
};

}  // namespace

void nx_db_blob_first(DatabaseImpl& db, const NXDBRow& row, const char* name, const char* column,
                      int& count, std::list<std::string>& names, std::list<std::string>& values,
                      int& blob_parsed, OidArray& ids, Asn1ValueArray& blob_values, bool always) {
  blob_first(db, row, name, column, count, names, values, blob_parsed, ids, blob_values, always,
             AsIs());
}

bool DatabaseImpl::read_common_event_attrs(const NXDBRow& row, int& count,
                                           std::list<std::string>& names,
                                           std::list<std::string>& values, int& blob_parsed,
                                           OidArray& ids, Asn1ValueArray& blob_values) {
  namespace C = CommonAttributes;
  auto rule_b = [&](const char* name, const char* column) {
    blob_first(*this, row, name, column, count, names, values, blob_parsed, ids, blob_values,
               false, AsIs());
  };
  append(names, values, count, "logRecordId",
         "number:" + std::to_string(column_int(row, C::logRecordId)));
  append(names, values, count, "loggingTime",
         alarm_convert_to_gen_time(column_text(row, C::loggingTime).c_str()));
  rule_b("eventType", C::eventName);
  append(names, values, count, "eventTime",
         alarm_convert_to_gen_time(column_text(row, C::eventTime).c_str()));
  append(names, values, count, "notificationId",
         std::to_string(column_int(row, C::notificationId)));
  rule_b("managedObjectClass", C::MOC_s);
  // An instance from the column is a name text; records keep the value
  // notation. One too long for that is left out rather than cut.
  blob_first(*this, row, "managedObjectInstance", C::MOI_s, count, names, values, blob_parsed, ids,
             blob_values, false, [this](std::string& text) { return std::string(my_fdn2oi(text.c_str())); });
  rule_b("correlatedNotifications", C::correlatedNotifications_s);
  rule_b("additionalText", C::additionalText);
  rule_b("additionalInformation", C::additionalInfo_s);
  return true;
}
