#include "tools/nxalarm_db_ingest_line.h"

#include <cctype>
#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

bool text_field(const json& object, const char* name, bool required, std::string& out, std::string& error) {
  auto it = object.find(name);
  if (it == object.end()) {
    if (required) error = std::string("missing field \"") + name + "\"";
    return !required;
  }
  if (!it->is_string()) {
    error = std::string("field \"") + name + "\" is not a text";
    return false;
  }
  out = it->get<std::string>();
  // A NUL cannot be stored as written; an empty name names nothing.
  if (out.find('\0') != std::string::npos) {
    error = std::string("field \"") + name + "\" holds a NUL character";
    return false;
  }
  if (required && out.empty()) {
    error = std::string("field \"") + name + "\" is empty";
    return false;
  }
  return true;
}

// A whole number given as a JSON integer: its decimal digits.
bool integer_text(const json& value, std::string& out) {
  if (value.is_number_unsigned()) {
    out = std::to_string(value.get<std::uint64_t>());
    return true;
  }
  if (value.is_number_integer() && value.get<std::int64_t>() >= 0) {
    out = std::to_string(value.get<std::int64_t>());
    return true;
  }
  return false;
}

bool digits_at(std::string_view s, std::size_t from, std::size_t count) {
  for (std::size_t i = from; i < from + count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  }
  return true;
}

// The fourteen digits of an event time, or empty when it is neither form.
std::string event_time_digits(std::string_view t) {
  if (t.size() == 14 && digits_at(t, 0, 14)) return std::string(t);
  if (t.size() == 19 && digits_at(t, 0, 4) && t[4] == '-' && digits_at(t, 5, 2) && t[7] == '-' &&
      digits_at(t, 8, 2) && (t[10] == ' ' || t[10] == 'T') && digits_at(t, 11, 2) && t[13] == ':' &&
      digits_at(t, 14, 2) && t[16] == ':' && digits_at(t, 17, 2)) {
    std::string d;
    for (char c : t) {
      if (std::isdigit(static_cast<unsigned char>(c))) d += c;
    }
    return d;
  }
  return {};
}

}  // namespace

bool parse_alarm_line(std::string_view line, nxmp_mis::AlarmNotification& out, std::string& error) {
  const json object = json::parse(line.begin(), line.end(), nullptr, false);
  if (object.is_discarded()) {
    error = "not valid JSON";
    return false;
  }
  if (!object.is_object()) {
    error = "not a JSON object";
    return false;
  }
  static const char* const kFields[] = {"log", "type", "severity", "moi", "moc", "cause", "text", "eventTime"};
  for (auto it = object.begin(); it != object.end(); ++it) {
    bool known = false;
    for (const char* f : kFields) known = known || it.key() == f;
    if (!known) {
      // A misspelt field would otherwise drop what it holds.
      error = "unknown field \"" + it.key() + "\"";
      return false;
    }
  }
  nxmp_mis::AlarmNotification n;
  auto log = object.find("log");
  if (log == object.end()) {
    error = "missing field \"log\"";
    return false;
  }
  if (log->is_string()) {
    n.log_id = log->get<std::string>();
    if (n.log_id.empty() || n.log_id.find('\0') != std::string::npos) {
      error = "field \"log\" is not a log id";
      return false;
    }
  } else if (integer_text(*log, n.log_id)) {
    n.log_is_number = true;
  } else {
    error = "field \"log\" is neither a text nor a whole number";
    return false;
  }
  if (!text_field(object, "type", true, n.event_type, error) ||
      !text_field(object, "severity", true, n.severity, error) ||
      !text_field(object, "moi", true, n.moi, error) || !text_field(object, "moc", true, n.moc, error) ||
      !text_field(object, "text", false, n.additional_text, error)) {
    return false;
  }
  auto cause = object.find("cause");
  if (cause == object.end()) {
    error = "missing field \"cause\"";
    return false;
  }
  if (!integer_text(*cause, n.probable_cause) && !text_field(object, "cause", true, n.probable_cause, error)) {
    if (!cause->is_string()) error = "field \"cause\" is neither a text nor a whole number";
    return false;
  }
  std::string when;
  if (!text_field(object, "eventTime", false, when, error)) return false;
  if (object.contains("eventTime")) {
    n.event_time = event_time_digits(when);
    if (n.event_time.empty()) {
      error = "field \"eventTime\" is not YYYYMMDDhhmmss nor YYYY-MM-DD hh:mm:ss: " + when;
      return false;
    }
  }
  out = std::move(n);
  return true;
}
