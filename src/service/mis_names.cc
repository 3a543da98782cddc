// Object name texts: building them, reading them back from the platform's
// printed distinguished names, and splitting them into their parts.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "model/bounded_text.h"
#include "service/mis_impl.h"

namespace {

constexpr std::string_view kAttributeId = "attributeId";
constexpr std::string_view kAttributeValue = "attributeValue";
constexpr std::string_view kDistinguishedName = "distinguishedName";

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }


// Copies the attribute name that follows "attributeId" at pos; returns the
// position after it.
std::size_t copy_attribute_name(std::string_view in, std::size_t pos, BoundedText& out) {
  while (pos < in.size() && is_space(in[pos])) ++pos;
  const std::size_t scan_start = pos;
  std::size_t name_start = scan_start;
  std::size_t i = pos;
  while (i < in.size()) {
    const char c = in[i];
    if (c == '"') {
      const std::size_t close = in.find('"', i + 1);
      if (close == std::string_view::npos) {
        i = in.size();
        break;
      }
      i = close + 1;
      continue;
    }
    if (c == ':') {
      name_start = i + 1;  // a document-qualified name: keep the part after ':'
      break;
    }
    if (c == ',') break;
    ++i;
  }
  std::size_t end = in.find(',', name_start);
  if (end == std::string_view::npos) end = in.size();
  for (std::size_t k = name_start; k < end; ++k) {
    if (!is_space(in[k])) out.put(in[k]);
  }
  return end;
}

// Copies one attribute value in value notation, dropping the layout blanks;
// returns the position where the value ended.
std::size_t copy_attribute_value(std::string_view in, std::size_t pos, BoundedText& out) {
  const std::size_t value_start = out.length();
  long depth = 0;
  bool in_quotes = false;
  while (pos < in.size()) {
    const char c = in[pos];
    if (c == '\n' && depth == 0) break;
    ++pos;
    if (c == '{') {
      out.put(c);
      ++depth;
      while (pos < in.size() && is_blank(in[pos])) ++pos;
    } else if (c == '}') {
      --depth;
      while (out.length() > value_start && is_blank(out.last())) out.drop_last();
      out.put(c);
    } else if (c == '"') {
      in_quotes = !in_quotes;
      out.put(c);
    } else if (is_blank(c) && !in_quotes && depth == 0) {
      // layout only
    } else {
      out.put(c);
    }
  }
  return pos;
}

// A strtok-like cursor over a name text: skips delimiters at the current
// position, returns the run up to the next delimiter and passes over it.
class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}

  bool next(std::string_view delimiters, std::string_view& token) {
    std::size_t start = text_.find_first_not_of(delimiters, pos_);
    if (start == std::string_view::npos) {
      pos_ = text_.size();
      return false;
    }
    std::size_t end = text_.find_first_of(delimiters, start);
    if (end == std::string_view::npos) end = text_.size();
    token = text_.substr(start, end - start);
    pos_ = end < text_.size() ? end + 1 : end;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

std::string strip_leading_equals(std::string_view token) {
  const std::size_t start = token.find_first_not_of('=');
  return start == std::string_view::npos ? std::string() : std::string(token.substr(start));
}

std::string next_or_empty(Tokenizer& tokens, std::string_view delimiters) {
  std::string_view token;
  return tokens.next(delimiters, token) ? std::string(token) : std::string();
}

}  // namespace

const char* MisImpl::my_oi2fdn(const char* printed_name) {
  static char buffer[FDN_BUFFER_SIZE];
  BoundedText out(buffer, sizeof buffer);
  if (printed_name == nullptr) return out.finish();
  const std::string_view in(printed_name);

  std::size_t pos = in.find(kAttributeId);
  if (pos == std::string_view::npos) return out.finish();
  if (in.substr(0, kDistinguishedName.size()) == kDistinguishedName) out.put('/');

  bool first = true;
  while (pos != std::string_view::npos && !out.overflow()) {
    // The separator goes before each further relative name, so no trailing
    // one has to fit into the buffer and be taken back.
    if (!first) out.put('/');
    first = false;
    pos = copy_attribute_name(in, pos + kAttributeId.size(), out);
    out.put('=');
    const std::size_t value = in.find(kAttributeValue, pos);
    if (value == std::string_view::npos) {
      std::printf("Can't decode fdn %s \n", printed_name);
      std::fflush(stdout);
      return out.finish();
    }
    pos = value + kAttributeValue.size();
    if (pos < in.size() && is_blank(in[pos])) ++pos;
    pos = copy_attribute_value(in, pos, out);
    pos = in.find(kAttributeId, pos);
  }
  return out.finish();
}

std::string MisImpl::create_fdn(const std::string& mis, const std::string& log,
                                const std::string& id) {
  return "/systemId=" + mis + "/logId=" + log + "/logRecordId=" + id;
}

void MisImpl::get_mis_and_log_and_id_from_fdn(const DataUnit& name, std::string& mis,
                                              std::string& log, std::string& id) {
  if (name.empty()) return;
  // Stop at an embedded NUL, as a C text would.
  std::string_view text = name.view();
  text = text.substr(0, text.find('\0'));
  Tokenizer tokens(text);
  if (text.find("systemId") != std::string_view::npos) {
    std::string_view skipped;
    tokens.next("\"", skipped);
    mis = next_or_empty(tokens, "\"");
  } else {
    mis = get_local_mis_name();
  }
  std::string_view token;
  tokens.next("=", token);
  log = tokens.next("/", token) ? strip_leading_equals(token) : std::string();
  tokens.next("=", token);
  id = tokens.next(kWhiteSpace, token) ? strip_leading_equals(token) : std::string();
}

void MisImpl::get_mis_and_log_from_fdn_void(const char* name, char* mis, char* log) {
  if (mis != nullptr) mis[0] = '\0';
  if (log != nullptr) log[0] = '\0';
  if (name == nullptr) return;
  Tokenizer pieces{std::string_view(name)};
  const std::string first = next_or_empty(pieces, "\"");
  const std::string second = next_or_empty(pieces, "\"");
  if (first.find("systemId") == std::string::npos) {
    if (log != nullptr) std::strcpy(log, second.c_str());
    return;
  }
  next_or_empty(pieces, "\"");
  const std::string fourth = next_or_empty(pieces, "\"");
  if (mis != nullptr) std::strcpy(mis, second.c_str());
  if (log != nullptr) std::strcpy(log, fourth.c_str());
}
