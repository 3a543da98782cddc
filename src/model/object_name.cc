#include "model/object_name.h"

#include "model/text_notation.h"

namespace {

constexpr std::string_view kNamePrefix = "name:";
constexpr std::string_view kStringPrefix = "string:";
constexpr std::string_view kNumberPrefix = "number:";
constexpr std::size_t kMaxDigits = 19;

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7f'; }
bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The end of the value that starts at pos: the first '/' outside quotes and
// braces, or the end of the text. npos when the value is not well formed:
// a quote or brace left open, a '}' without its '{', a control character
// (layout white space inside braces excepted), a blank outside quotes and
// braces.
std::size_t value_end(std::string_view text, std::size_t pos) {
  bool quoted = false;
  std::size_t depth = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (is_control(c) && !(depth > 0 && is_space(c))) return std::string_view::npos;
    if (quoted) {
      if (c != '"') continue;
      // A doubled quote stands for one quote inside the text.
      if (pos + 1 < text.size() && text[pos + 1] == '"') {
        ++pos;
      } else {
        quoted = false;
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (depth == 0) return std::string_view::npos;
      --depth;
    } else if (depth == 0 && (c == '/' || is_space(c))) {
      if (c == '/') break;
      return std::string_view::npos;
    }
  }
  return quoted || depth != 0 ? std::string_view::npos : pos;
}

// The text of one quoted run that is the whole of quoted, quotes undoubled.
std::optional<std::string> unquote(std::string_view quoted) {
  if (quoted.size() < 2 || quoted.front() != '"') return std::nullopt;
  std::string text;
  text.reserve(quoted.size() - 2);
  for (std::size_t i = 1; i < quoted.size(); ++i) {
    const char c = quoted[i];
    if (is_control(c)) return std::nullopt;
    if (c != '"') {
      text += c;
    } else if (i + 1 < quoted.size() && quoted[i + 1] == '"') {
      text += '"';
      ++i;
    } else {
      // The closing quote must end the value.
      if (i + 1 != quoted.size()) return std::nullopt;
      return text;
    }
  }
  return std::nullopt;  // never closed
}

bool is_number(std::string_view digits) {
  if (!digits.empty() && digits.front() == '-') digits.remove_prefix(1);
  if (digits.empty() || digits.size() > kMaxDigits) return false;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool is_type(std::string_view type) {
  if (type.empty()) return false;
  for (char c : type) {
    if (is_control(c) || is_space(c) || c == '/' || c == '=' || c == '"' || c == '{' || c == '}' || c == ':' ||
        c == ',') {
      return false;
    }
  }
  return true;
}


// Reading the printed form: "attributeId", the attribute name, then
// "attributeValue" and the value up to the end of its line.
constexpr std::string_view kAttributeId = "attributeId";
constexpr std::string_view kAttributeValue = "attributeValue";
constexpr std::string_view kDistinguishedName = "distinguishedName";

// Appends the attribute name that follows "attributeId" at pos (after a
// ':' outside quotes when it has a document qualifier); returns the position
// after it.
std::size_t copy_attribute_name(std::string_view in, std::size_t pos, std::string& out) {
  while (pos < in.size() && is_space(in[pos])) ++pos;
  std::size_t name_start = pos;
  for (std::size_t i = pos; i < in.size();) {
    const char c = in[i];
    if (c == '"') {
      const std::size_t close = in.find('"', i + 1);
      if (close == std::string_view::npos) break;
      i = close + 1;
      continue;
    }
    if (c == ':') {
      name_start = i + 1;
      break;
    }
    if (c == ',') break;
    ++i;
  }
  std::size_t end = in.find(',', name_start);
  if (end == std::string_view::npos) end = in.size();
  for (std::size_t k = name_start; k < end; ++k) {
    if (!is_space(in[k])) out += in[k];
  }
  return end;
}

// Appends one value, dropping the layout blanks: those outside quotes at
// depth 0, after '{' and before '}'. A newline at depth 0 ends it. Returns
// the position where it ended.
std::size_t copy_attribute_value(std::string_view in, std::size_t pos, std::string& out) {
  const std::size_t value_start = out.size();
  long depth = 0;
  bool quoted = false;
  while (pos < in.size()) {
    const char c = in[pos];
    if (c == '\n' && depth == 0) break;
    ++pos;
    if (c == '"') {
      quoted = !quoted;
      out += c;
    } else if (quoted) {
      out += c;  // braces and blanks inside quotes are text
    } else if (c == '{') {
      out += c;
      ++depth;
      while (pos < in.size() && is_blank(in[pos])) ++pos;
    } else if (c == '}') {
      --depth;
      while (out.size() > value_start && is_blank(out.back())) out.pop_back();
      out += c;
    } else if (!(is_blank(c) && depth == 0)) {
      out += c;
    }
  }
  return pos;
}

// Any other notation without the layout blanks after '{' and before '}'
// (outside quotes), which the printed form does not keep.
std::string without_brace_blanks(std::string_view notation) {
  std::string out;
  out.reserve(notation.size());
  bool quoted = false;
  for (std::size_t i = 0; i < notation.size(); ++i) {
    const char c = notation[i];
    out += c;
    if (c == '"') {
      quoted = !quoted;  // a doubled quote closes and opens again
    } else if (!quoted && c == '{') {
      while (i + 1 < notation.size() && is_blank(notation[i + 1])) ++i;
    } else if (!quoted && c == '}') {
      out.pop_back();
      while (!out.empty() && is_blank(out.back())) out.pop_back();
      out += c;
    }
  }
  return out;
}

}  // namespace

std::optional<NameValue> NameValue::parse(std::string_view notation) {
  if (notation.empty() || notation.size() > ObjectName::kMaxText) return std::nullopt;
  if (starts_with(notation, kNamePrefix) || starts_with(notation, kStringPrefix)) {
    const bool name = starts_with(notation, kNamePrefix);
    std::optional<std::string> text =
        unquote(notation.substr(name ? kNamePrefix.size() : kStringPrefix.size()));
    if (!text) return std::nullopt;
    return NameValue(name ? Form::kName : Form::kString, std::move(*text));
  }
  if (starts_with(notation, kNumberPrefix)) {
    const std::string_view digits = notation.substr(kNumberPrefix.size());
    if (!is_number(digits)) return std::nullopt;
    return NameValue(Form::kNumber, std::string(digits));
  }
  if (value_end(notation, 0) != notation.size()) return std::nullopt;
  return NameValue(Form::kOther, without_brace_blanks(notation));
}

std::string NameValue::notation() const {
  std::string out;
  append_notation(out);
  return out;
}

void NameValue::append_notation(std::string& out) const {
  switch (form_) {
    case Form::kName:
    case Form::kString:
      out += form_ == Form::kName ? kNamePrefix : kStringPrefix;
      append_text_notation(out, text_);
      return;
    case Form::kNumber:
      out += kNumberPrefix;
      out += text_;
      return;
    case Form::kOther:
      out += text_;
      return;
  }
}

std::size_t NameValue::notation_size() const {
  switch (form_) {
    case Form::kName:
    case Form::kString: {
      // The quotes around the text and one more for each inside.
      std::size_t size = (form_ == Form::kName ? kNamePrefix : kStringPrefix).size() + 2 + text_.size();
      for (char c : text_) size += c == '"';
      return size;
    }
    case Form::kNumber:
      return kNumberPrefix.size() + text_.size();
    case Form::kOther:
      break;
  }
  return text_.size();
}

std::optional<ObjectName> ObjectName::parse(std::string_view text) {
  if (text.size() > kMaxText) return std::nullopt;
  ObjectName name;
  if (!text.empty() && text.front() == '/') {
    name.full_ = true;
    text.remove_prefix(1);
  }
  if (text.empty()) return name;
  name.parts_.reserve(4);  // the system's own names have two or three
  std::size_t pos = 0;
  for (;;) {
    const std::size_t equals = text.find('=', pos);
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view type = text.substr(pos, equals - pos);
    if (!is_type(type)) return std::nullopt;
    const std::size_t end = value_end(text, equals + 1);
    if (end == std::string_view::npos) return std::nullopt;
    std::optional<NameValue> value = NameValue::parse(text.substr(equals + 1, end - equals - 1));
    if (!value) return std::nullopt;
    name.parts_.push_back(RelativeName{std::string(type), std::move(*value)});
    if (end == text.size()) return name;
    pos = end + 1;  // past the '/': a relative name must follow
  }
}

std::optional<ObjectName> ObjectName::from_printed(std::string_view in) {
  std::size_t pos = in.find(kAttributeId);
  if (pos == std::string_view::npos) return std::nullopt;
  std::string out;
  out.reserve(128);
  if (starts_with(in, kDistinguishedName)) out += '/';
  bool first = true;
  while (pos != std::string_view::npos) {
    if (!first) out += '/';
    first = false;
    pos = copy_attribute_name(in, pos + kAttributeId.size(), out);
    out += '=';
    const std::size_t value = in.find(kAttributeValue, pos);
    if (value == std::string_view::npos) return std::nullopt;
    pos = value + kAttributeValue.size();
    if (pos < in.size() && is_blank(in[pos])) ++pos;
    pos = copy_attribute_value(in, pos, out);
    // Stop copying as soon as the name is too long to be taken.
    if (out.size() > kMaxText) return std::nullopt;
    pos = in.find(kAttributeId, pos);
  }
  return parse(out);
}

ObjectName ObjectName::system(const std::string& mis) {
  return ObjectName(true, {RelativeName{"systemId", NameValue::name(mis)}});
}

ObjectName ObjectName::log(const std::string& mis, NameValue log_id) {
  return system(mis).child(RelativeName{"logId", std::move(log_id)});
}

ObjectName ObjectName::record(NameValue record_id) const {
  return child(RelativeName{"logRecordId", std::move(record_id)});
}

const NameValue* ObjectName::find(std::string_view type) const {
  for (const RelativeName& part : parts_) {
    if (part.type == type) return &part.value;
  }
  return nullptr;
}

ObjectName ObjectName::parent() const {
  ObjectName out = *this;
  if (!out.parts_.empty()) out.parts_.pop_back();
  return out;
}

ObjectName ObjectName::child(RelativeName part) const {
  ObjectName out = *this;
  out.parts_.push_back(std::move(part));
  return out;
}

std::string ObjectName::str() const {
  std::string out;
  out.reserve(64 * parts_.size() + 1);
  write_str(out);
  return out;
}

void ObjectName::write_str(std::string& out) const {
  out.clear();
  if (full_) out += '/';
  for (std::size_t i = 0; i < parts_.size(); ++i) {
    if (i != 0) out += '/';
    out += parts_[i].type;
    out += '=';
    parts_[i].value.append_notation(out);
  }
}

namespace {
// The frame of the printed form, shared by printed() and printed_size().
constexpr std::string_view kPrintedFull = "distinguishedName:\n{\n\t";
constexpr std::string_view kPrintedLocal = "localDistinguishedName:\n{\n\t";
constexpr std::string_view kPrintedBetween = ",\n\t";
constexpr std::string_view kPrintedOpen = "{\n\t\t{\n\t\tattributeId ";
constexpr std::string_view kPrintedValue = ",attributeValue ";
constexpr std::string_view kPrintedClose = "\n\t\t}\n\t}";
constexpr std::string_view kPrintedEnd = "\n}";
}  // namespace

std::string ObjectName::printed() const {
  std::string out;
  out.reserve(96 * parts_.size() + 32);
  out += full_ ? kPrintedFull : kPrintedLocal;
  for (std::size_t i = 0; i < parts_.size(); ++i) {
    if (i != 0) out += kPrintedBetween;
    out += kPrintedOpen;
    out += parts_[i].type;
    out += kPrintedValue;
    parts_[i].value.append_notation(out);
    out += kPrintedClose;
  }
  out += kPrintedEnd;
  return out;
}

std::size_t ObjectName::printed_size() const {
  std::size_t size = (full_ ? kPrintedFull : kPrintedLocal).size() + kPrintedEnd.size();
  for (std::size_t i = 0; i < parts_.size(); ++i) {
    if (i != 0) size += kPrintedBetween.size();
    size += kPrintedOpen.size() + parts_[i].type.size() + kPrintedValue.size() +
            parts_[i].value.notation_size() + kPrintedClose.size();
  }
  return size;
}
