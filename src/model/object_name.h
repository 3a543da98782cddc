// ObjectName: the name of an object on the MIS as a value. One type parses
// and formats every name the system handles: MIS, log, record and
// managed-object names, written as relative names separated by '/', each an
// attribute type, '=' and a value in value notation:
//
//   /systemId=name:"alpha"/logId=string:"AlarmLog"/logRecordId=number:42
//
// A '/' inside quotes (or braces) belongs to the value; a quote inside a
// quoted text is doubled. Names come from untrusted text (the database, the
// platform, Java callers): parsing never reads past its input, and a text
// that is not wholly a name gives no name at all, never a part of one.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The value of one relative name.
class NameValue {
 public:
  enum class Form {
    kName,    // name:"text"
    kString,  // string:"text"
    kNumber,  // number:digits
    kOther,   // any other notation, kept as it stands but for the layout
              // blanks after '{' and before '}' (outside quotes)
  };

  // Null unless the whole text is one value: name: and string: need one
  // quoted text, number: an optional '-' and 1 to 19 digits, any other
  // notation balanced quotes and braces.
  static std::optional<NameValue> parse(std::string_view notation);
  static NameValue name(std::string text) { return NameValue(Form::kName, std::move(text)); }
  static NameValue string(std::string text) { return NameValue(Form::kString, std::move(text)); }
  static NameValue number(long long n) { return NameValue(Form::kNumber, std::to_string(n)); }

  Form form() const { return form_; }
  // The unquoted text of name: and string:, the digits of number:, the
  // notation of any other form.
  const std::string& text() const { return text_; }
  // The value in value notation (quotes inside a text doubled).
  std::string notation() const;
  // The same appended to out, and its size.
  void append_notation(std::string& out) const;
  std::size_t notation_size() const;

  bool operator==(const NameValue& other) const { return form_ == other.form_ && text_ == other.text_; }
  bool operator!=(const NameValue& other) const { return !(*this == other); }

 private:
  NameValue(Form form, std::string text) : form_(form), text_(std::move(text)) {}

  Form form_;
  std::string text_;
};

struct RelativeName {
  std::string type;  // the attribute, such as logId
  NameValue value;

  bool operator==(const RelativeName& other) const { return type == other.type && value == other.value; }
};

class ObjectName {
 public:
  // The longest name text taken or given, in either notation.
  static constexpr std::size_t kMaxText = 65534;

  // The empty local name.
  ObjectName() = default;
  ObjectName(bool full, std::vector<RelativeName> parts) : full_(full), parts_(std::move(parts)) {}

  // A name text; a leading '/' makes it a full (distinguished) name. Null
  // for anything that is not wholly a name: an empty relative name, a type
  // without '=', a value that does not parse, text over kMaxText.
  static std::optional<ObjectName> parse(std::string_view text);
  // The platform's multi-line printed form of a distinguished name (that of
  // printed() or the attribute decoder's); layout blanks and document
  // qualifiers of attribute names go. Null when it names nothing, when an
  // attribute has no value, or when the name read does not parse.
  static std::optional<ObjectName> from_printed(std::string_view printed);

  // Names of the system's own objects.
  static ObjectName system(const std::string& mis);
  static ObjectName log(const std::string& mis, NameValue log_id);
  ObjectName record(NameValue record_id) const;

  bool full() const { return full_; }
  bool empty() const { return parts_.empty(); }
  const std::vector<RelativeName>& parts() const { return parts_; }
  // The value of the first relative name of that type, or null.
  const NameValue* find(std::string_view type) const;
  // The name without its last relative name (the log of a record).
  ObjectName parent() const;
  ObjectName child(RelativeName part) const;

  // The name text parse() reads back to the same name.
  std::string str() const;
  // The same written over out, whose storage is reused: for readers that
  // refill one text record after record.
  void write_str(std::string& out) const;
  // The printed form (what from_printed() reads back).
  std::string printed() const;
  // printed().size(), without printing.
  std::size_t printed_size() const;

  bool operator==(const ObjectName& other) const { return full_ == other.full_ && parts_ == other.parts_; }
  bool operator!=(const ObjectName& other) const { return !(*this == other); }

 private:
  bool full_ = false;
  std::vector<RelativeName> parts_;
};
