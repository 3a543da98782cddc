// The texts natives take from Java strings: standard UTF-8, exactly the
// characters of the String, each kind held to a bound. A text that cannot be
// kept exactly (NUL, an unpaired surrogate) or passes its bound is refused
// with an AlarmException that names the kind and the reason; the native
// then changes nothing.
#pragma once

#include <jni.h>

#include <cstddef>
#include <string>

#include "jni/messages.h"

namespace nxjni {

// What a text is (for the refusal message) and the most UTF-8 bytes it may
// take.
struct TextBound {
  Message what;  // the kind's catalog text
  std::size_t max_bytes;
};

// Operator texts of ack, clear and display: room for long notes and pasted
// logs; each record of a call may have one.
inline constexpr TextBound kOperatorText{MSG_KIND_OPERATOR_TEXT, std::size_t{8} << 20};
// Filter values compared as they are: as long as any text a record can hold.
inline constexpr TextBound kFilterValue{MSG_KIND_FILTER_VALUE, std::size_t{8} << 20};
// Names that become parts of MIS object names (log, MIS and managed object
// names): the longest object name text the MIS takes.
inline constexpr TextBound kLogName{MSG_KIND_LOG_NAME, 65534};
inline constexpr TextBound kMisName{MSG_KIND_MIS_NAME, 65534};
inline constexpr TextBound kMoName{MSG_KIND_MO_NAME, 65534};
// A record identifier names a number ("number:17"); far more is no identifier.
inline constexpr TextBound kRecordIdText{MSG_KIND_RECORD_ID, 1024};
inline constexpr TextBound kAttributeName{MSG_KIND_ATTRIBUTE_NAME, 1024};
inline constexpr TextBound kServerName{MSG_KIND_SERVER_NAME, 65534};
// Any other text taken from Java.
inline constexpr TextBound kAnyText{MSG_KIND_TEXT, std::size_t{8} << 20};

// Sets out to the text of s (not null) as standard UTF-8. False when an
// exception is pending: AlarmException when the text is refused, or the
// VM's OutOfMemoryError. The caller must then return at once, without
// describing or clearing it, so that it reaches Java.
bool java_text(JNIEnv* env, jstring s, const TextBound& bound, std::string& out);

// The refusal message of a text that passes its bound, for checks made
// after conversion (a pattern's form in the database, say).
std::string too_long_message(const TextBound& bound, std::size_t bytes);

// Raises AlarmInputException (an AlarmException: the caller's input was
// refused, not the operation failed) with the message. Never called with an
// exception pending.
void throw_input_refusal(JNIEnv* env, const char* message);

}  // namespace nxjni

namespace nxjni {
// A value of a filter item on the attribute (its name as the query model
// knows it): bounded as kFilterValue, and a pattern also held to the longest
// LIKE pattern the database matches.
bool filter_value_text(JNIEnv* env, const std::string& attribute, jstring s, std::string& out);
}  // namespace nxjni
