#include "nxmp/asn1_value.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

Asn1Value from_bytes(std::vector<unsigned char> b) { return Asn1Value::decode(b.data(), b.size()); }

std::vector<unsigned char> bytes_of(const Asn1Value& v) {
  DataUnit d = v.encoding();
  return std::vector<unsigned char>(d.data(), d.data() + d.size());
}

TEST(Asn1Value, IntegersRoundTripThroughBer) {
  for (long n : {0L, 1L, -1L, 127L, 128L, -128L, -129L, 255L, 256L, 65535L, 2147483647L, -2147483648L,
                 9223372036854775807L, -9223372036854775807L - 1}) {
    Asn1Value v = Asn1Value(Asn1Value::encode_int(n).encoding());
    ASSERT_FALSE(v.is_null()) << n;
    long out = 0;
    ASSERT_TRUE(v.decode_int(out)) << n;
    EXPECT_EQ(out, n);
    EXPECT_EQ(v.tag(), Asn1Value::TAG_INT);
  }
  // Minimal encodings.
  EXPECT_EQ(bytes_of(Asn1Value::encode_int(128)), (std::vector<unsigned char>{0x02, 0x02, 0x00, 0x80}));
  EXPECT_EQ(bytes_of(Asn1Value::encode_int(-128)), (std::vector<unsigned char>{0x02, 0x01, 0x80}));
  unsigned long u = 0;
  ASSERT_TRUE(Asn1Value::encode_unsigned(4294967295UL).decode_unsigned(u));
  EXPECT_EQ(u, 4294967295UL);
  EXPECT_FALSE(Asn1Value::encode_int(-5).decode_unsigned(u));
}

TEST(Asn1Value, StringsBooleansNullsAndTagsRoundTrip) {
  const std::string text("a\0b\"%", 5);
  Asn1Value g(Asn1Value::encode_octets(Asn1Value::TAG_GRAPHIC, text).encoding());
  std::string out;
  ASSERT_TRUE(g.decode_octets(out));
  EXPECT_EQ(out, text);
  EXPECT_EQ(g.tag(), Asn1Value::TAG_GRAPHIC);

  bool b = false;
  ASSERT_TRUE(Asn1Value(Asn1Value::encode_bool(true).encoding()).decode_bool(b));
  EXPECT_TRUE(b);
  Asn1Value n(Asn1Value::encode_null().encoding());
  EXPECT_EQ(n.tag(), Asn1Value::TAG_NULL);
  EXPECT_EQ(n.encoded_size(), 2u);

  // High tag numbers and every class survive encoding.
  for (Asn1Tag t : {Asn1Value::context_tag(30), Asn1Value::context_tag(31), Asn1Value::application_tag(200),
                    Asn1Value::private_tag(100000)}) {
    Asn1Value v(Asn1Value::encode_int(7, t).encoding());
    ASSERT_FALSE(v.is_null());
    EXPECT_EQ(v.tag(), t);
  }
  // Long content needs a long-form length.
  std::string big(70000, 'x');
  Asn1Value l(Asn1Value::encode_octets(Asn1Value::TAG_OCTETS, big).encoding());
  ASSERT_TRUE(l.decode_octets(out));
  EXPECT_EQ(out.size(), big.size());
}

TEST(Asn1Value, ComponentsWalkAndRetag) {
  Asn1Value attr = Asn1Value::encode_constructed(
      Asn1Value::TAG_SEQ, {Asn1Value::encode_octets(Asn1Value::TAG_CTX0, std::string("\x55\x04\x03", 3)),
                           Asn1Value::encode_int(2, Asn1Value::TAG_ENUM)});
  Asn1Value list = Asn1Value(Asn1Value::encode_constructed(Asn1Value::TAG_SET, {attr, attr, attr}).encoding());
  ASSERT_TRUE(list.constructed());
  EXPECT_EQ(list.tag(), Asn1Value::TAG_SET);
  EXPECT_EQ(list.num_comps(), 3);
  int seen = 0;
  for (Asn1Value c = list.first_component(); c; c = c.next_component()) {
    ++seen;
    Asn1Value id = c.first_component();
    EXPECT_EQ(id.tag(), Asn1Value::TAG_CTX0);
    Asn1Value oid = id.retag(Asn1Value::TAG_OID);
    EXPECT_EQ(oid.tag(), Asn1Value::TAG_OID);
    EXPECT_EQ(oid.content(), id.content());
    long sev = 0;
    ASSERT_TRUE(id.next_component().decode_int(sev));
    EXPECT_EQ(sev, 2);
    EXPECT_TRUE(id.next_component().next_component().is_null());
  }
  EXPECT_EQ(seen, 3);
  // Primitive values have no components; explicit tags hold one.
  EXPECT_TRUE(Asn1Value::encode_int(1).first_component().is_null());
  Asn1Value tagged = Asn1Value::encode_tagged(Asn1Value::TAG_CTX2, Asn1Value::encode_int(9));
  long nine = 0;
  ASSERT_TRUE(tagged.tagged_component().decode_int(nine));
  EXPECT_EQ(nine, 9);
  std::string ignored;
  EXPECT_FALSE(tagged.decode_octets(ignored));
}

TEST(Asn1Value, IndefiniteLengthsAreAcceptedAndNormalised) {
  // SET (indefinite) { SEQUENCE (indefinite) { INTEGER 5 } } and end-of-contents.
  Asn1Value v = from_bytes({0x31, 0x80, 0x30, 0x80, 0x02, 0x01, 0x05, 0x00, 0x00, 0x00, 0x00});
  ASSERT_FALSE(v.is_null());
  EXPECT_EQ(bytes_of(v), (std::vector<unsigned char>{0x31, 0x05, 0x30, 0x03, 0x02, 0x01, 0x05}));
  long n = 0;
  ASSERT_TRUE(v.first_component().first_component().decode_int(n));
  EXPECT_EQ(n, 5);
}

TEST(Asn1Value, MalformedInputGivesNull) {
  const std::vector<std::vector<unsigned char>> bad = {
      {},                                  // nothing
      {0x02},                              // no length
      {0x02, 0x02, 0x01},                  // content cut short
      {0x30, 0x03, 0x02, 0x01},            // component runs past its parent
      {0x30, 0x02, 0x02, 0x05},            // component longer than the parent
      {0x02, 0x80, 0x01, 0x00, 0x00},      // indefinite primitive
      {0x30, 0x80, 0x02, 0x01, 0x05},      // indefinite without end-of-contents
      {0x02, 0x85, 0, 0, 0, 0, 1, 0},      // length of 5 octets
      {0x02, 0x84, 0xff, 0xff, 0xff, 0xff},  // length far past the end
      {0x1f, 0x80, 0x01, 0x00},            // non-minimal tag number
      {0x1f, 0x81, 0x81, 0x81, 0x81, 0x01, 0x00},  // tag number too long
      {0x02, 0x01, 0x05, 0x00},            // trailing byte
      {0x00, 0x00},                        // end-of-contents alone
      {0x30, 0x02, 0x00, 0x00},            // end-of-contents inside a definite value
  };
  for (const auto& b : bad) EXPECT_TRUE(from_bytes(b).is_null()) << b.size();
}

TEST(Asn1Value, NestingDepthIsBounded) {
  std::vector<unsigned char> deep;
  const int levels = Asn1Value::MAX_DEPTH + 10;
  for (int i = 0; i < levels; ++i) {
    deep.push_back(0x30);
    deep.push_back(0x80);
  }
  deep.push_back(0x05);
  deep.push_back(0x00);
  for (int i = 0; i < levels; ++i) {
    deep.push_back(0x00);
    deep.push_back(0x00);
  }
  EXPECT_TRUE(from_bytes(deep).is_null());

  Asn1Value ok = Asn1Value::encode_null();
  for (unsigned i = 0; i < Asn1Value::MAX_DEPTH; ++i) ok = Asn1Value::encode_tagged(Asn1Value::TAG_SEQ, ok);
  EXPECT_FALSE(Asn1Value(ok.encoding()).is_null());
}

TEST(Asn1Value, DecodersRefuseWrongForms) {
  long n = 0;
  EXPECT_FALSE(Asn1Value().decode_int(n));
  EXPECT_FALSE(Asn1Value::encode_octets(Asn1Value::TAG_INT, "").decode_int(n));  // empty integer
  EXPECT_FALSE(Asn1Value::encode_octets(Asn1Value::TAG_INT, std::string(9, '\1')).decode_int(n));
  EXPECT_FALSE(Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, {}).decode_int(n));
  bool b = false;
  EXPECT_FALSE(Asn1Value::encode_octets(Asn1Value::TAG_BOOL, "ab").decode_bool(b));
  EXPECT_TRUE(Asn1Value().encoding().empty());
  EXPECT_EQ(Asn1Value(), Asn1Value());
  EXPECT_NE(Asn1Value(), Asn1Value::encode_null());
}

}  // namespace
