// Texts between Java and the library. The library and the database hold
// standard UTF-8; Java strings are UTF-16, and the VM's own byte form
// (modified UTF-8) differs from standard UTF-8 for NUL and for characters
// outside the Basic Multilingual Plane, so neither direction uses it for
// anything but plain text.
//
// Out: database and MIS texts are bytes of unknown origin; they go through
// UTF-16 (NewString) with U+FFFD in place of malformed bytes, never through
// the VM's modified UTF-8.
#pragma once

#include <jni.h>

#include <cstddef>
#include <string>

namespace nxjni {

// In: why UTF-16 units cannot be kept exactly as a stored text.
enum class Utf16Refusal { none, nul, unpaired_surrogate };

// Appends the units as standard UTF-8 (a surrogate pair becomes one 4-byte
// sequence). Refuses NUL, which no stored text can hold, and a surrogate
// without its partner, which has no UTF-8 form; out then holds a part.
Utf16Refusal append_utf16_as_utf8(std::string& out, const jchar* units, std::size_t count);

jstring new_java_string(JNIEnv* env, const std::string& text);
// Appends text as well-formed UTF-8 that decodes (by Java's UTF-8 decoder)
// to the same String new_java_string makes of it.
void append_java_utf8(std::string& out, const std::string& text);
// True when text is well-formed UTF-8 as it stands.
bool is_well_formed_utf8(const std::string& text);
}  // namespace nxjni
