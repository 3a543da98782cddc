#include "jni/hash.h"

namespace {
constexpr int kMaxHashedBytes = 128;
constexpr std::int8_t kWeights[16] = {61, 59, 53, 47, 43, 41, 37, 31, 29, 23, 17, 13, 11, 7, 3, 1};
}  // namespace

std::uint32_t hash_fct(const unsigned char* s, int len) {
  if (len == 0 || s == nullptr) return 0;
  const int n = len < kMaxHashedBytes ? len : kMaxHashedBytes;
  if (n <= 0) return 0;
  std::uint32_t h = 0;
  for (int i = 0; i < n; ++i) {
    // Bytes count as signed; unsigned arithmetic gives the wrap-around.
    const auto b = static_cast<std::int8_t>(s[len - 1 - i]);
    const auto w = kWeights[i % 16];
    h = (h + static_cast<std::uint32_t>(static_cast<std::int32_t>(b) * w)) * 5u;
  }
  return h;
}
