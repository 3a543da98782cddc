// Object name texts of the MIS side, over ObjectName: building them,
// reading them back from the platform's printed distinguished names, and
// splitting them into their parts.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "model/object_name.h"
#include "service/mis_impl.h"

std::string MisImpl::my_oi2fdn(const char* printed_name) {
  if (printed_name == nullptr) return {};
  const std::string_view printed(printed_name);
  const std::optional<ObjectName> name = ObjectName::from_printed(printed);
  if (!name) {
    // Something was there, but not a whole name: say so, and give none.
    if (printed.find("attributeId") != std::string_view::npos) {
      std::printf("Can't decode fdn %s \n", printed_name);
      std::fflush(stdout);
    }
    return {};
  }
  return name->str();
}

std::string MisImpl::create_fdn(const std::string& mis, const std::string& log,
                                const std::string& id) {
  const std::optional<NameValue> system = NameValue::parse(mis);
  const std::optional<NameValue> log_id = NameValue::parse(log);
  const std::optional<NameValue> record_id = NameValue::parse(id);
  // A part that is no value would make the text name some other object.
  if (!system || !log_id || !record_id) return {};
  return ObjectName(true, {{"systemId", *system}, {"logId", *log_id}, {"logRecordId", *record_id}}).str();
}

void MisImpl::get_mis_and_log_and_id_from_fdn(const DataUnit& text, std::string& mis,
                                              std::string& log, std::string& id) {
  if (text.empty()) return;
  const std::optional<ObjectName> name = ObjectName::parse(text.view());
  if (!name) {
    // No part of a text that is not a name names anything.
    mis.clear();
    log.clear();
    id.clear();
    return;
  }
  const NameValue* system = name->find("systemId");
  const NameValue* log_id = name->find("logId");
  const NameValue* record_id = name->find("logRecordId");
  mis = system != nullptr ? system->text() : get_local_mis_name();
  log = log_id != nullptr ? log_id->notation() : std::string();
  id = record_id != nullptr ? record_id->notation() : std::string();
}
