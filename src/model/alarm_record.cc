#include "model/alarm_record.h"

#include <cstdio>
#include <optional>

#include "model/object_name.h"

namespace {

bool contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

bool is_state_change_time(AlarmAttributeId id) {
  return id == ATTR_ACK_TIME || id == ATTR_CLEAR_TIME || id == ATTR_DISPLAY_TIME;
}

// The name text of an instance as the platform prints it; none, with a
// diagnostic line, for a printed form that is not a whole name.
std::string instance_text(const std::string& printed) {
  const std::optional<ObjectName> name = ObjectName::from_printed(printed);
  if (name) return name->str();
  if (contains(printed, "attributeId")) {
    std::printf("Can't decode fdn %s \n", printed.c_str());
    std::fflush(stdout);
  }
  return std::string();
}

}  // namespace

AlarmRecord::AlarmRecord() : attributes_(MAP_BUCKETS) {}

AlarmRecord::AlarmRecord(const std::string& mis_name, const std::string& log_name,
                         const std::string& record_id)
    : AlarmRecord() {
  if (mis_name.empty() || log_name.empty() || record_id.empty()) return;
  normalise(mis_name, log_name, record_id);
}

AlarmRecord::AlarmRecord(const std::string& mis_name, const std::string& log_name,
                         const std::string& record_id, const AlarmAttributeMap& attributes)
    : AlarmRecord() {
  attributes_.insert(attributes.begin(), attributes.end());
  if (mis_name.empty() || log_name.empty() || record_id.empty()) return;
  normalise(mis_name, log_name, record_id);
}

AlarmRecord::AlarmRecord(const std::string& mis_name, const std::string& log_name,
                         const std::string& record_id, const std::list<std::string>& names,
                         const std::list<std::string>& values)
    : AlarmRecord() {
  if (names.size() != values.size()) return;
  if (mis_name.empty() || log_name.empty() || record_id.empty()) return;
  auto value = values.begin();
  for (auto name = names.begin(); name != names.end(); ++name, ++value) {
    const AlarmAttributeId id = AlarmAttribute::get_attribute_id(*name);
    if (id == ATTR_NONE) continue;
    // Never replaces: the first value stays.
    if (attributes_.find(AlarmAttribute(id)) == attributes_.end()) {
      attributes_.emplace(id, map_text(id, *value));
    }
  }
  normalise(mis_name, log_name, record_id);
}

std::string AlarmRecord::map_text(AlarmAttributeId id, const std::string& value) {
  // Records keep the instance as a name text, not as printed by the platform.
  if (id == ATTR_MANAGED_OBJECT_INSTANCE) return instance_text(value);
  if (is_state_change_time(id) && contains(value, "NULL")) return "NULL";
  return value;
}

void AlarmRecord::map_text_over(AlarmAttributeId id, std::string& value) {
  if (id == ATTR_MANAGED_OBJECT_INSTANCE) {
    value = instance_text(value);
  } else if (is_state_change_time(id) && contains(value, "NULL")) {
    value.assign("NULL");
  }
}

std::string AlarmRecord::normalised_record_id(const std::string& record_id) {
  return contains(record_id, "number:") ? record_id : "number:" + record_id;
}

AlarmRecord::AlarmRecord(const AlarmRecord& other)
    : mis_name_(other.mis_name_),
      log_name_(other.log_name_),
      record_id_(other.record_id_),
      initialized_(true),
      attributes_(MAP_BUCKETS) {
  attributes_.insert(other.attributes_.begin(), other.attributes_.end());
}

AlarmRecord& AlarmRecord::operator=(const AlarmRecord& other) {
  if (this == &other) return *this;
  mis_name_ = other.mis_name_;
  log_name_ = other.log_name_;
  record_id_ = other.record_id_;
  attributes_ = other.attributes_;
  return *this;
}

bool AlarmRecord::operator==(const AlarmRecord& other) const {
  return mis_name_ == other.mis_name_ && log_name_ == other.log_name_ &&
         record_id_ == other.record_id_;
}

void AlarmRecord::normalise(const std::string& mis_name, const std::string& log_name,
                            const std::string& record_id) {
  mis_name_ = contains(mis_name, "name:") ? mis_name : "name:\"" + mis_name + "\"";
  log_name_ = (contains(log_name, "string:") || contains(log_name, "number:"))
                  ? log_name
                  : "string:\"" + log_name + "\"";
  record_id_ = normalised_record_id(record_id);
  initialized_ = true;
}

std::string AlarmRecord::get_mis_name() const {
  // Tokens between runs of double quotes; separators at the start are skipped.
  std::size_t pos = mis_name_.find_first_not_of('"');
  if (pos == std::string::npos) return std::string();
  pos = mis_name_.find('"', pos);                       // end of the first token
  if (pos == std::string::npos) return std::string();
  pos = mis_name_.find_first_not_of('"', pos);          // start of the second
  if (pos == std::string::npos) return std::string();
  const std::size_t end = mis_name_.find('"', pos);
  return mis_name_.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
}

std::string AlarmRecord::get_alarm_attribute(const std::string& name) const {
  if (!initialized_) return std::string();
  const AlarmAttributeId id = AlarmAttribute::get_attribute_id(name);
  if (id == ATTR_NONE) return std::string();
  auto it = attributes_.find(id);
  return it == attributes_.end() ? std::string() : it->second;
}

bool AlarmRecord::is_alarm_attribute_set(const std::string& name) const {
  if (!initialized_) return false;
  const AlarmAttributeId id = AlarmAttribute::get_attribute_id(name);
  return id != ATTR_NONE && attributes_.count(id) != 0;
}

void AlarmRecord::print_alarm_record() const {
  std::printf("misname = %s\n", get_mis_name().c_str());
  std::fflush(stdout);
  std::printf("logname = %s\n", log_name_.c_str());
  std::fflush(stdout);
  std::printf("logRecordId = %s\n", record_id_.c_str());
  std::fflush(stdout);
  for (const auto& entry : attributes_) {
    std::printf("%s = %s\n", entry.first.get_attribute_name().c_str(), entry.second.c_str());
    std::fflush(stdout);
  }
}
