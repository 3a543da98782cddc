// Record naming and time helpers of the database reader.
#include <climits>
#include <cstring>
#include <string_view>

#include "db/database_impl.h"
#include "model/bounded_text.h"

namespace {

char fdn2oi_buffer[DatabaseImpl::FDN2OI_BUFFER_SIZE];
char time_buffer[DatabaseImpl::TIME_BUFFER_SIZE];

// strtok-like reading of a text: each request skips delimiters, then takes
// the text up to the next delimiter and steps over that one delimiter.
class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}

  bool next(std::string_view delimiters, std::string& token, bool quote_aware = false) {
    while (pos_ < text_.size() && delimiters.find(text_[pos_]) != std::string_view::npos) ++pos_;
    if (pos_ >= text_.size()) return false;
    const std::size_t start = pos_;
    bool in_quotes = false;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (quote_aware && c == '"') in_quotes = !in_quotes;
      if (!in_quotes && delimiters.find(c) != std::string_view::npos) break;
      ++pos_;
    }
    token.assign(text_.substr(start, pos_ - start));
    if (pos_ < text_.size()) ++pos_;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};


}  // namespace

void DatabaseImpl::get_mis_and_log_from_fdn(std::string fdn, std::string& mis, std::string& log) {
  if (fdn.empty()) return;
  Tokenizer tokens(fdn);
  std::string token;
  if (fdn.find("systemId") != std::string::npos) {
    tokens.next("\"", token);
    mis = tokens.next("\"", token) ? token : std::string();
  }
  tokens.next("=", token);
  // A '/' inside a quoted log name belongs to the name.
  if (tokens.next("/", token, true)) {
    std::size_t equals = token.find_first_not_of('=');
    log = equals == std::string::npos ? std::string() : token.substr(equals);
  } else {
    log.clear();
  }
}

const char* DatabaseImpl::my_fdn2oi(const char* fdn) {
  BoundedText out(fdn2oi_buffer, sizeof fdn2oi_buffer);
  std::string_view rest = fdn != nullptr ? fdn : "";
  if (!rest.empty() && rest[0] == '/') {
    out.put("distinguishedName:\n{\n\t");
    rest.remove_prefix(1);
  } else {
    out.put("localDistinguishedName:\n{\n\t");
  }
  while (rest.find('=') != std::string_view::npos) {
    const std::size_t equals = rest.find('=');
    std::size_t slash = rest.find('/', equals + 1);
    out.put("{\n\t\t{\n\t\tattributeId ");
    out.put(rest.substr(0, equals));
    out.put(",attributeValue ");
    out.put(rest.substr(equals + 1, slash == std::string_view::npos ? std::string_view::npos
                                                                     : slash - equals - 1));
    out.put("\n\t\t}\n\t}");
    if (slash == std::string_view::npos) break;
    out.put(",\n\t");
    rest.remove_prefix(slash + 1);
  }
  out.put("\n}");
  return out.finish();
}

const char* DatabaseImpl::alarm_convert_to_gen_time(const char* text) {
  const std::size_t length = text != nullptr ? std::strlen(text) : 0;
  if (length == 0 || length >= sizeof time_buffer) {
    std::strcpy(time_buffer, "NULL");
  } else {
    std::memcpy(time_buffer, text, length + 1);
  }
  return time_buffer;
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
