#include "jni/java_strings.h"

#include <vector>

namespace nxjni {
namespace {

// Length of the well-formed UTF-8 sequence at s[i], or 0.
std::size_t sequence_length(const std::string& s, std::size_t i, char32_t& cp) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const std::size_t n = s.size();
  const unsigned char c = b(i);
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  auto cont = [&](std::size_t k) { return k < n && (b(k) & 0xC0) == 0x80; };
  if (c >= 0xC2 && c <= 0xDF && cont(i + 1)) {
    cp = ((c & 0x1Fu) << 6) | (b(i + 1) & 0x3Fu);
    return 2;
  }
  if (c >= 0xE0 && c <= 0xEF && cont(i + 1) && cont(i + 2)) {
    cp = ((c & 0x0Fu) << 12) | ((b(i + 1) & 0x3Fu) << 6) | (b(i + 2) & 0x3Fu);
    if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
    cp = ((c & 0x07u) << 18) | ((b(i + 1) & 0x3Fu) << 12) | ((b(i + 2) & 0x3Fu) << 6) | (b(i + 3) & 0x3Fu);
    if (cp < 0x10000 || cp > 0x10FFFF) return 0;
    return 4;
  }
  return 0;
}

}  // namespace

Utf16Refusal append_utf16_as_utf8(std::string& out, const jchar* units, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    char32_t cp = units[i];
    if (cp == 0) return Utf16Refusal::nul;
    if (cp >= 0xD800 && cp <= 0xDFFF) {
      const bool high = cp <= 0xDBFF;
      if (!high || i + 1 == count || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) {
        return Utf16Refusal::unpaired_surrogate;
      }
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00u);
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return Utf16Refusal::none;
}

bool is_well_formed_utf8(const std::string& text) {
  for (unsigned char c : text) {
    if (c >= 0x80) {
      // Rare: decide byte by byte below.
      char32_t cp;
      for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = sequence_length(text, i, cp);
        if (len == 0) return false;
        i += len;
      }
      return true;
    }
  }
  return true;
}

jstring new_java_string(JNIEnv* env, const std::string& text) {
  std::vector<jchar> units;
  units.reserve(text.size());
  char32_t cp = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = sequence_length(text, i, cp);
    if (len == 0) {
      units.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      const char32_t v = cp - 0x10000;
      units.push_back(static_cast<jchar>(0xD800 + (v >> 10)));
      units.push_back(static_cast<jchar>(0xDC00 + (v & 0x3FF)));
    } else {
      units.push_back(static_cast<jchar>(cp));
    }
    i += len;
  }
  return env->NewString(units.data(), static_cast<jsize>(units.size()));
}

void append_java_utf8(std::string& out, const std::string& text) {
  if (is_well_formed_utf8(text)) {
    out += text;
    return;
  }
  char32_t cp = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = sequence_length(text, i, cp);
    if (len == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD for each byte that starts no sequence
      ++i;
      continue;
    }
    out.append(text, i, len);
    i += len;
  }
}

}  // namespace nxjni
