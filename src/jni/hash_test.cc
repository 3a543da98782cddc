#include "jni/hash.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {
std::int32_t signed_hash(const std::vector<unsigned char>& v) {
  return static_cast<std::int32_t>(hash_fct(v.data(), static_cast<int>(v.size())));
}
}  // namespace

TEST(HashFct, KnownValues) {
  EXPECT_EQ(signed_hash({'a', 'b', 'c'}), 925130);
  EXPECT_EQ(signed_hash({0xFF}), -305);  // the byte counts as -1
  EXPECT_EQ(signed_hash({}), 0);
  EXPECT_EQ(signed_hash(std::vector<unsigned char>(200, 0)), 0);
  const unsigned char b = 1;
  EXPECT_EQ(hash_fct(&b, -1), 0u);  // a negative length hashes nothing
}

TEST(HashFct, OnlyTheLast128BytesCount) {
  std::vector<unsigned char> long_input(129);
  for (std::size_t i = 0; i < long_input.size(); ++i) long_input[i] = static_cast<unsigned char>(i * 7 + 3);
  std::vector<unsigned char> tail(long_input.begin() + 1, long_input.end());
  EXPECT_EQ(signed_hash(long_input), signed_hash(tail));
  // ...and the first byte of a 128-byte input still counts.
  std::vector<unsigned char> changed = tail;
  changed[0] ^= 1;
  EXPECT_NE(signed_hash(changed), signed_hash(tail));
}

TEST(HashFct, WeightsFollowPositionFromTheEnd) {
  // In an n-byte input, a byte of value 1 at distance i from the end
  // contributes W[i % 16] * 5^(n - i).
  std::vector<unsigned char> v(18, 0);
  v[17 - 16] = 1;  // distance 16: weight 61 again, like distance 0
  EXPECT_EQ(hash_fct(v.data(), 18), 61u * 5u * 5u);
  v[17 - 16] = 0;
  v[17 - 15] = 1;  // distance 15: weight 1
  EXPECT_EQ(hash_fct(v.data(), 18), 1u * 5u * 5u * 5u);
}
