// A text attribute's value in value notation: the text in double quotes,
// each double quote inside doubled. The MIS takes operator texts and names
// only in this form and unquotes them exactly once, so a text that itself
// starts and ends with a quote is stored as written.
#pragma once

#include <string>
#include <string_view>

// Appends the notation of text to out (for writers that reuse one buffer).
inline void append_text_notation(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

inline std::string text_notation(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  append_text_notation(out, text);
  return out;
}
