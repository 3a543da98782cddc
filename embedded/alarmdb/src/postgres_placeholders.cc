#include "postgres_placeholders.h"

#include <cctype>

namespace nxdb {
namespace {
constexpr int kMaxParameter = 32766;  // the server's limit on parameters

bool is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
}  // namespace

bool postgres_placeholders(std::string_view s, std::string& out, int& parameters,
                           std::string& error) {
  out.clear();
  out.reserve(s.size() + 8);
  parameters = 0;
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n) {
    const char c = s[i];
    if (c == '\'' || c == '"') {
      // A doubled quote stands for one quote; no backslash escapes (the
      // server runs with standard_conforming_strings).
      std::size_t j = i + 1;
      bool closed = false;
      while (j < n) {
        if (s[j] == c) {
          if (j + 1 < n && s[j + 1] == c) {
            j += 2;
            continue;
          }
          ++j;
          closed = true;
          break;
        }
        ++j;
      }
      if (!closed) {
        error = "unterminated quoted text at offset " + std::to_string(i);
        return false;
      }
      out.append(s.substr(i, j - i));
      i = j;
    } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
      std::size_t j = s.find('\n', i);
      if (j == std::string_view::npos) j = n;
      out.append(s.substr(i, j - i));
      i = j;
    } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      std::size_t close = s.find("*/", i + 2);
      if (close == std::string_view::npos) {
        error = "unterminated comment at offset " + std::to_string(i);
        return false;
      }
      out.append(s.substr(i, close + 2 - i));
      i = close + 2;
    } else if (c == '?') {
      std::size_t j = i + 1;
      long number = 0;
      if (j < n && is_digit(s[j])) {
        while (j < n && is_digit(s[j])) {
          number = number * 10 + (s[j] - '0');
          if (number > kMaxParameter) {
            error = "parameter number out of range at offset " + std::to_string(i);
            return false;
          }
          ++j;
        }
        if (number == 0) {
          error = "parameter ?0 at offset " + std::to_string(i);
          return false;
        }
      } else {
        // A bare marker takes the number after the highest so far.
        number = parameters + 1;
        if (number > kMaxParameter) {
          error = "too many parameters";
          return false;
        }
      }
      if (number > parameters) parameters = static_cast<int>(number);
      out += '$';
      out += std::to_string(number);
      i = j;
    } else {
      out += c;
      ++i;
    }
  }
  return true;
}

}  // namespace nxdb
