// Record naming and time helpers of the database reader. They return their
// texts by value: readers on several threads share nothing through them.
#include <climits>
#include <cstring>
#include <optional>

#include "db/database_impl.h"
#include "model/object_name.h"
#include "platform/management_platform.h"

namespace {

// The log identifier in the form get_ilogname reads: the prefix, and for a
// string the text between one pair of quotes, taken as it stands.
std::string log_identifier(const NameValue& log_id) {
  if (log_id.form() == NameValue::Form::kString) return "string:\"" + log_id.text() + "\"";
  return log_id.notation();
}

}  // namespace

void DatabaseImpl::get_mis_and_log_from_fdn(const std::string& fdn, std::string& mis, std::string& log) {
  if (fdn.empty()) return;
  const std::optional<ObjectName> name = ObjectName::parse(fdn);
  const NameValue* log_id = name ? name->find("logId") : nullptr;
  if (log_id == nullptr) {
    // Not a log's name: no server and no log, so no table is read.
    mis.clear();
    log.clear();
    return;
  }
  if (const NameValue* system = name->find("systemId")) mis = system->text();
  log = log_identifier(*log_id);
}

std::string DatabaseImpl::my_fdn2oi(const char* fdn) {
  const std::optional<ObjectName> name = ObjectName::parse(fdn != nullptr ? fdn : "");
  if (!name) return {};
  std::string printed = name->printed();
  if (printed.size() > ObjectName::kMaxText) return {};
  return printed;
}

bool DatabaseImpl::fdn_instance(const char* fdn, std::string& out) {
  const std::optional<ObjectName> name = ObjectName::parse(fdn != nullptr ? fdn : "");
  if (!name || name->printed_size() > ObjectName::kMaxText) return false;
  // The printed form of a name without parts names nothing: an empty text.
  if (name->empty()) {
    out.clear();
  } else {
    name->write_str(out);
  }
  return true;
}

std::string DatabaseImpl::alarm_convert_to_gen_time(const char* text) {
  const std::size_t length = text != nullptr ? std::strlen(text) : 0;
  if (length == 0 || length > kMaxTimeText) return "NULL";
  return std::string(text, length);
}

int DatabaseImpl::get_unique_moid(const std::string& mis, const std::string& fdn) {
  const Asn1Value instance = fdn2oi(DataUnit(fdn));
  if (instance.is_null()) return -1;
  const DataUnit encoding = instance.encoding();
  NXDBConnectInfo info(mis, 1);
  UniqueMO keys(info, true, 1000);
  const long id = keys.get_unique_id(encoding);
  return id < 0 || id > INT_MAX ? -1 : static_cast<int>(id);
}
