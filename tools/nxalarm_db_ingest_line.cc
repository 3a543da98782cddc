#include "tools/nxalarm_db_ingest_line.h"

#include <simdjson.h>

#include <cctype>
#include <cstdint>

namespace {

// A field's value as the line gave it: a text, a whole number (negative ones
// included, which no field takes), or anything else.
struct Value {
  enum class Kind { kAbsent, kText, kWhole, kOther } kind = Kind::kAbsent;
  std::string text;
  bool negative = false;
  std::uint64_t number = 0;
};

// The fields of a line, by name.
struct Fields {
  Value log, type, severity, moi, moc, cause, text, event_time;

  Value* find(std::string_view key) {
    if (key == "log") return &log;
    if (key == "type") return &type;
    if (key == "severity") return &severity;
    if (key == "moi") return &moi;
    if (key == "moc") return &moc;
    if (key == "cause") return &cause;
    if (key == "text") return &text;
    if (key == "eventTime") return &event_time;
    return nullptr;
  }
};

Value read_value(simdjson::dom::element element) {
  Value out;
  switch (element.type()) {
    case simdjson::dom::element_type::STRING:
      out.kind = Value::Kind::kText;
      out.text.assign(element.get_string().value_unsafe());
      break;
    case simdjson::dom::element_type::UINT64:
      out.kind = Value::Kind::kWhole;
      out.number = element.get_uint64().value_unsafe();
      break;
    case simdjson::dom::element_type::INT64: {
      const std::int64_t number = element.get_int64().value_unsafe();
      out.kind = Value::Kind::kWhole;
      out.negative = number < 0;
      out.number = out.negative ? 0 : static_cast<std::uint64_t>(number);
      break;
    }
    default:  // fractions, objects, arrays, booleans, null
      out.kind = Value::Kind::kOther;
  }
  return out;
}

// The line's fields; false with error set when it is not a JSON object, or
// names a field no alarm has.
bool read_fields(std::string_view line, Fields& fields, std::string& error) {
  // The parser reads past the text's end in blocks: it gets a copy with room.
  thread_local simdjson::dom::parser parser;
  thread_local std::string padded;
  padded.assign(line);
  padded.append(simdjson::SIMDJSON_PADDING, '\0');
  simdjson::dom::element doc;
  if (const simdjson::error_code failed = parser.parse(padded.data(), line.size(), false).get(doc)) {
    // The parser takes whole numbers of up to 64 bits, as every field does.
    error = failed == simdjson::NUMBER_ERROR ? "not valid JSON, or a number of more than 64 bits"
                                             : "not valid JSON";
    return false;
  }
  simdjson::dom::object object;
  if (doc.get_object().get(object)) {
    error = "not a JSON object";
    return false;
  }
  for (simdjson::dom::key_value_pair field : object) {
    Value* slot = fields.find(field.key);
    if (slot == nullptr) {
      // A misspelt field would otherwise drop what it holds.
      error = "unknown field \"" + std::string(field.key) + "\"";
      return false;
    }
    *slot = read_value(field.value);
  }
  return true;
}

bool text_field(const Value& value, const char* name, bool required, std::string& out, std::string& error) {
  if (value.kind == Value::Kind::kAbsent) {
    if (required) error = std::string("missing field \"") + name + "\"";
    return !required;
  }
  if (value.kind != Value::Kind::kText) {
    error = std::string("field \"") + name + "\" is not a text";
    return false;
  }
  out = value.text;
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
bool integer_text(const Value& value, std::string& out) {
  if (value.kind != Value::Kind::kWhole || value.negative) return false;
  out = std::to_string(value.number);
  return true;
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
  Fields fields;
  if (!read_fields(line, fields, error)) return false;
  nxmp_mis::AlarmNotification n;
  if (fields.log.kind == Value::Kind::kAbsent) {
    error = "missing field \"log\"";
    return false;
  }
  if (fields.log.kind == Value::Kind::kText) {
    n.log_id = fields.log.text;
    if (n.log_id.empty() || n.log_id.find('\0') != std::string::npos) {
      error = "field \"log\" is not a log id";
      return false;
    }
  } else if (integer_text(fields.log, n.log_id)) {
    n.log_is_number = true;
  } else {
    error = "field \"log\" is neither a text nor a whole number";
    return false;
  }
  if (!text_field(fields.type, "type", true, n.event_type, error) ||
      !text_field(fields.severity, "severity", true, n.severity, error) ||
      !text_field(fields.moi, "moi", true, n.moi, error) || !text_field(fields.moc, "moc", true, n.moc, error) ||
      !text_field(fields.text, "text", false, n.additional_text, error)) {
    return false;
  }
  if (fields.cause.kind == Value::Kind::kAbsent) {
    error = "missing field \"cause\"";
    return false;
  }
  if (!integer_text(fields.cause, n.probable_cause) &&
      !text_field(fields.cause, "cause", true, n.probable_cause, error)) {
    if (fields.cause.kind != Value::Kind::kText) error = "field \"cause\" is neither a text nor a whole number";
    return false;
  }
  std::string when;
  if (!text_field(fields.event_time, "eventTime", false, when, error)) return false;
  if (fields.event_time.kind != Value::Kind::kAbsent) {
    n.event_time = event_time_digits(when);
    if (n.event_time.empty()) {
      error = "field \"eventTime\" is not YYYYMMDDhhmmss nor YYYY-MM-DD hh:mm:ss: " + when;
      return false;
    }
  }
  out = std::move(n);
  return true;
}
