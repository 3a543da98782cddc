#include "jni/java_text.h"

#include <new>
#include <vector>

#include "jni/java_ids.h"
#include "jni/java_lookup.h"
#include "jni/java_strings.h"
#include "query/filter_criteria.h"

namespace nxjni {
namespace {

void refuse(JNIEnv* env, const std::string& message) { throw_input_refusal(env, message.c_str()); }

}  // namespace

void throw_input_refusal(JNIEnv* env, const char* message) {
  const jclass refusal_class = java_ids().alarm_input_exception;
  if (!refusal_class) {
    throw_alarm_exception(env, message);  // still an AlarmException with the reason
    return;
  }
  env->ThrowNew(refusal_class, message);
}

std::string too_long_message(const TextBound& bound, std::size_t bytes) {
  return catalog_format(MSG_TEXT_TOO_LONG, catalog_text(bound.what), bytes, bound.max_bytes);
}

bool java_text(JNIEnv* env, jstring s, const TextBound& bound, std::string& out) {
  const jsize length = env->GetStringLength(s);
  // Each UTF-16 unit takes at least one byte: a string of more units than
  // the bound is refused before anything is copied.
  if (static_cast<std::size_t>(length) > bound.max_bytes) {
    refuse(env, catalog_format(MSG_TEXT_TOO_LONG_UNITS, catalog_text(bound.what), static_cast<std::size_t>(length),
                               bound.max_bytes));
    return false;
  }
  std::string text;
  Utf16Refusal refusal = Utf16Refusal::none;
  try {
    std::vector<jchar> units(static_cast<std::size_t>(length));
    if (length > 0) env->GetStringRegion(s, 0, length, units.data());
    text.reserve(units.size());
    refusal = append_utf16_as_utf8(text, units.data(), units.size());
  } catch (const std::bad_alloc&) {
    refuse(env, catalog_format(MSG_TEXT_NO_MEMORY, catalog_text(bound.what), static_cast<std::size_t>(length)));
    return false;
  }
  switch (refusal) {
    case Utf16Refusal::nul:
      refuse(env, catalog_format(MSG_TEXT_NUL, catalog_text(bound.what)));
      return false;
    case Utf16Refusal::unpaired_surrogate:
      refuse(env, catalog_format(MSG_TEXT_SURROGATE, catalog_text(bound.what)));
      return false;
    case Utf16Refusal::none:
      break;
  }
  if (text.size() > bound.max_bytes) {
    refuse(env, too_long_message(bound, text.size()));
    return false;
  }
  out = std::move(text);
  return true;
}

}  // namespace nxjni

namespace nxjni {

bool filter_value_text(JNIEnv* env, const std::string& attribute, jstring s, std::string& out) {
  if (!java_text(env, s, kFilterValue, out)) return false;
  const std::size_t pattern = like_pattern_size(attribute, out);
  if (pattern > kMaxLikePatternBytes) {
    refuse(env, catalog_format(MSG_PATTERN_TOO_LONG, attribute.c_str(), pattern,
                               static_cast<std::size_t>(kMaxLikePatternBytes)));
    return false;
  }
  return true;
}

}  // namespace nxjni
