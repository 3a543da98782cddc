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
  std::string message = "Refused: ";
  message += bound.what;
  message += " of " + std::to_string(bytes) + " bytes (UTF-8) is longer than the " +
             std::to_string(bound.max_bytes) + " bytes allowed";
  return message;
}

bool java_text(JNIEnv* env, jstring s, const TextBound& bound, std::string& out) {
  const jsize length = env->GetStringLength(s);
  // Each UTF-16 unit takes at least one byte: a string of more units than
  // the bound is refused before anything is copied.
  if (static_cast<std::size_t>(length) > bound.max_bytes) {
    refuse(env, too_long_message(bound, static_cast<std::size_t>(length)) + " (or more)");
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
    refuse(env, std::string("Refused: no memory to copy ") + bound.what + " of " + std::to_string(length) +
                    " characters");
    return false;
  }
  switch (refusal) {
    case Utf16Refusal::nul:
      refuse(env, std::string("Refused: ") + bound.what + " holds a NUL character, which no stored text keeps");
      return false;
    case Utf16Refusal::unpaired_surrogate:
      refuse(env, std::string("Refused: ") + bound.what +
                      " holds an unpaired surrogate, a half character that has no UTF-8 form");
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
    refuse(env, "Refused: a filter pattern on " + attribute + " makes a LIKE pattern of " + std::to_string(pattern) +
                    " bytes (UTF-8, each '_' escaped), longer than the " + std::to_string(kMaxLikePatternBytes) +
                    " bytes the database matches");
    return false;
  }
  return true;
}

}  // namespace nxjni
