// The attributes of alarm log records as the MIS keeps them: which column of
// which record table holds each, how its column text is written in value
// notation and encoded for notifications, and how set_str values are read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nxdb/schema.h"
#include "nxmp/asn1_value.h"

namespace nxmp_mis {

enum class Form {
  kNotation,   // the column holds value notation (names, choices, sets)
  kText,       // GraphicString: the column holds the bare text
  kGenTime,    // GeneralizedTime: fourteen digits
  kStateTime,  // time or default NULL: fourteen digits, or empty for NULL
  kInteger,
  kEventType,  // the event type's registry name
  kClass,      // an object class name
  kInstance,   // an object name text
  kRecordId,
};

struct RecordAttribute {
  const char* name;                  // bare registry name
  std::vector<const char*> columns;  // candidate columns; the table's first one wins
  Form form;
  bool settable;  // changeable with set_str (the operator states)
};

const std::vector<RecordAttribute>& record_attributes();
const RecordAttribute* find_record_attribute(std::string_view name);
// The column of the attribute in a table of this type; null when it has none.
const char* column_of(const RecordAttribute& attribute, const nxdb::RecordType& type);
// The same column's definition (null: the table has none for the attribute).
const nxdb::ColumnDef* record_column(const RecordAttribute& attribute, const nxdb::RecordType& type);
const nxdb::ColumnDef* column_def(const nxdb::RecordType& type, std::string_view column);

// The column text in value notation (flags 0x10008 of Image::get).
std::string to_notation(const RecordAttribute& attribute, const std::string& text);
// The attribute's value for a notification; null when it cannot be encoded.
Asn1Value encode_value(const RecordAttribute& attribute, const std::string& text);
// A set_str value (value notation: texts quoted, quotes inside doubled) as
// column text; nullopt when the value is not one of the attribute.
std::optional<std::string> parse_set_value(const RecordAttribute& attribute,
                                           std::string_view value);

// Text helpers shared with the notification logging.
std::string quote(std::string_view text);            // "a""b"
std::optional<std::string> unquote(std::string_view text);
std::string collapse_blanks(std::string_view text);  // one blank per run, trimmed

// Top-level fields of a SEQUENCE value notation "{ name value, ... }", in order.
std::vector<std::pair<std::string, std::string>> split_fields(std::string_view notation);

}  // namespace nxmp_mis
