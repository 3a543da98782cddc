// The 32-bit hash of a byte string that clients use to key managed-object
// encodings: the last 128 bytes, visited backwards, with fixed prime weights.
#pragma once

#include <cstdint>

std::uint32_t hash_fct(const unsigned char* s, int len);
