// Java strings from native texts. Database and MIS texts are bytes of
// unknown origin; the VM accepts only well-formed modified UTF-8 from
// NewStringUTF, so anything else goes through UTF-16 with U+FFFD in place
// of malformed bytes.
#pragma once

#include <jni.h>

#include <string>

namespace nxjni {
jstring new_java_string(JNIEnv* env, const std::string& text);
// Appends text as well-formed UTF-8 that decodes (by Java's UTF-8 decoder)
// to the same String new_java_string makes of it.
void append_java_utf8(std::string& out, const std::string& text);
// True when text can go to NewStringUTF as it is.
bool is_plain_modified_utf8(const std::string& text);
}  // namespace nxjni
