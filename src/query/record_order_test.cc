// The order keys' SQL (ORDER BY and the keyset condition that starts a page
// after a record) and the page token codec.
#include "query/record_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "query/page_token.h"

namespace {

const std::string kEvent = "COALESCE(eventtime, '0001-01-01 00:00:00')";

TEST(RecordOrderTest, KeysEndWithTheRecordIdInTheFirstKeysDirection) {
  RecordOrder none;
  EXPECT_TRUE(none.empty());
  EXPECT_EQ("logrecordid ASC", none.order_by());

  RecordOrder order;
  ASSERT_TRUE(order.add("eventTime", true));
  ASSERT_TRUE(order.add("perceivedSeverity", false));
  EXPECT_EQ(kEvent + " DESC, (CASE perceivedseverity WHEN 'critical' THEN 5 WHEN 'major' THEN 4 WHEN 'minor' THEN 3"
                     " WHEN 'warning' THEN 2 WHEN 'indeterminate' THEN 1 WHEN 'cleared' THEN 0 ELSE -1 END) ASC,"
                     " logrecordid DESC",
            order.order_by());
  EXPECT_EQ("eventTime desc,perceivedSeverity asc,logRecordId desc", order.describe());

  // Refused: unknown, not orderable, repeated.
  EXPECT_FALSE(order.add("additionalText", true));
  EXPECT_FALSE(order.add("eventType", true));
  EXPECT_FALSE(order.add("eventTime", false));
  EXPECT_FALSE(order.add("", false));
  EXPECT_EQ(3u, order.keys().size());

  // The id given as a key is the last: nothing after it counts.
  RecordOrder by_id;
  ASSERT_TRUE(by_id.add("logRecordId", true));
  ASSERT_TRUE(by_id.add("eventTime", false));
  EXPECT_EQ("logrecordid DESC", by_id.order_by());
}

TEST(RecordOrderTest, KeysetConditionExpandsEveryKeyInItsDirection) {
  RecordOrder order;
  ASSERT_TRUE(order.add("eventTime", true));
  ASSERT_TRUE(order.add("loggingTime", false));
  const std::string logged = "COALESCE(loggingtime, '0001-01-01 00:00:00')";
  EXPECT_EQ("(" + kEvent + " <= ?1 AND (" + kEvent + " < ?1 OR (" + kEvent + " = ?1 AND (" + logged + " > ?2 OR (" +
                logged + " = ?2 AND (logrecordid < ?3))))))",
            order.after_condition(3, 1, false));
  // Inclusive: the record at the position itself too (a later table's).
  EXPECT_NE(std::string::npos, order.after_condition(3, 1, true).find("logrecordid <= ?3"));
  // Parameters can start further on.
  EXPECT_NE(std::string::npos, order.after_condition(3, 4, false).find("logrecordid < ?6"));
  // The wrong number of values gives no condition (never one that selects all).
  EXPECT_EQ("", order.after_condition(2, 1, false));
  EXPECT_EQ("", order.after_condition(4, 1, false));

  RecordOrder ids;
  EXPECT_EQ("logrecordid > ?1", ids.after_condition(1, 1, false));
}

TEST(RecordOrderTest, CompareFollowsTheKeysDirections) {
  RecordOrder order;
  ASSERT_TRUE(order.add("perceivedSeverity", true));
  ASSERT_TRUE(order.add("eventTime", false));
  const auto v = [](long long rank, const char* time, long long id) {
    return std::vector<OrderValue>{{"", rank}, {time, 0}, {"", id}};
  };
  EXPECT_LT(order.compare(v(5, "20240101000000", 1), v(4, "20200101000000", 1)), 0);  // more severe first
  EXPECT_LT(order.compare(v(4, "00010101000000", 1), v(4, "20200101000000", 1)), 0);  // no time first
  EXPECT_LT(order.compare(v(4, "20200101000000", 9), v(4, "20200101000000", 2)), 0);  // id descending
  EXPECT_EQ(0, order.compare(v(-1, "20200101000000", 2), v(-1, "20200101000000", 2)));
}

TEST(RecordOrderTest, TimeCells) {
  std::string d;
  EXPECT_TRUE(order_time_digits("2024-05-01 13:45:09", d));
  EXPECT_EQ("20240501134509", d);
  EXPECT_TRUE(order_time_digits("20240501134509", d));
  EXPECT_EQ("2024-05-01 13:45:09", order_time_text(d));
  for (const char* bad : {"", "2024-05-01", "2024-05-01T13:45:09", "2024-05-01 13:45:0x", "2024050113450",
                          "2024-05-01 13:45:09.5"}) {
    EXPECT_FALSE(order_time_digits(bad, d)) << bad;
  }
}

class PageTokenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(order_.add("eventTime", true));
    ASSERT_TRUE(order_.add("perceivedSeverity", true));
    position_.values = {{"20240501134509", 0}, {"", -1}, {"", 123456789012345}};
    position_.table = 2;
    binding_ = page_binding("/systemId=name:\"a\"/logId=string:\"L\"", "perceivedSeverity = 'major'", order_);
  }
  RecordOrder order_;
  PagePosition position_;
  std::string binding_;
};

TEST_F(PageTokenTest, RoundTrip) {
  const std::string token = encode_page_token(order_, position_, binding_);
  EXPECT_LE(token.size(), kMaxPageTokenChars);
  for (char c : token) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') << token;
  PagePosition out;
  ASSERT_EQ(TokenFault::kNone, decode_page_token(token, order_, binding_, out));
  EXPECT_EQ(position_.values, out.values);
  EXPECT_EQ(2, out.table);

  // Negative and the largest ids survive too.
  position_.values[2].number = -5;
  ASSERT_EQ(TokenFault::kNone, decode_page_token(encode_page_token(order_, position_, binding_), order_, binding_, out));
  EXPECT_EQ(-5, out.values[2].number);
}

TEST_F(PageTokenTest, AnotherReadsTokenIsRefused) {
  const std::string token = encode_page_token(order_, position_, binding_);
  PagePosition out;
  out.table = 9;
  const auto other_log = page_binding("/systemId=name:\"a\"/logId=string:\"M\"", "perceivedSeverity = 'major'", order_);
  const auto other_condition = page_binding("/systemId=name:\"a\"/logId=string:\"L\"", "", order_);
  EXPECT_EQ(TokenFault::kOtherRead, decode_page_token(token, order_, other_log, out));
  EXPECT_EQ(TokenFault::kOtherRead, decode_page_token(token, order_, other_condition, out));
  RecordOrder ascending;
  ASSERT_TRUE(ascending.add("eventTime", false));
  ASSERT_TRUE(ascending.add("perceivedSeverity", true));
  EXPECT_NE(TokenFault::kNone,
            decode_page_token(token, ascending, page_binding("/systemId=name:\"a\"/logId=string:\"L\"",
                                                             "perceivedSeverity = 'major'", ascending),
                              out));
  EXPECT_EQ(9, out.table) << "a refused token leaves the position alone";
}

TEST_F(PageTokenTest, GarbledTokensAreRefused) {
  const std::string token = encode_page_token(order_, position_, binding_);
  PagePosition out;
  // Every changed character, every cut.
  for (std::size_t i = 0; i < token.size(); ++i) {
    std::string changed = token;
    changed[i] = changed[i] == 'A' ? 'B' : 'A';
    EXPECT_NE(TokenFault::kNone, decode_page_token(changed, order_, binding_, out)) << i;
    EXPECT_NE(TokenFault::kNone, decode_page_token(token.substr(0, i), order_, binding_, out)) << i;
  }
  EXPECT_EQ(TokenFault::kLength, decode_page_token("", order_, binding_, out));
  EXPECT_EQ(TokenFault::kLength, decode_page_token(std::string(kMaxPageTokenChars + 1, 'A'), order_, binding_, out));
  EXPECT_EQ(TokenFault::kCharacters, decode_page_token(token + "=", order_, binding_, out));
  EXPECT_EQ(TokenFault::kCharacters, decode_page_token("ab+/", order_, binding_, out));
}

// Tokens whose hash is right but whose content is not: only a forger who
// knows the layout makes them; each value is still checked.
TEST_F(PageTokenTest, WellHashedButMalformedContentIsRefused) {
  const auto forged = [&](std::string raw) {
    // The hash as the encoder makes it: FNV-1a over the binding and the body.
    std::uint64_t h = 14695981039346656037ull;
    for (std::string part : {std::string("nxpage\0", 7), binding_, raw}) {
      for (unsigned char c : part) {
        h ^= c;
        h *= 1099511628211ull;
      }
    }
    for (int shift = 56; shift >= 0; shift -= 8) raw += static_cast<char>((h >> shift) & 0xff);
    return base64url_encode(raw);
  };
  const auto body = [&](const std::string& time, char rank, std::uint8_t table) {
    std::string b = {1, 3, static_cast<char>(table), 0, 1};
    b += time;
    b += {1, 1, rank, 2, 1};
    b += std::string(7, '\0') + "\x05";
    return b;
  };
  PagePosition out;
  ASSERT_EQ(TokenFault::kNone, decode_page_token(forged(body("20240501134509", 3, 0)), order_, binding_, out));
  EXPECT_EQ(5, out.values[2].number);
  EXPECT_EQ(TokenFault::kShape, decode_page_token(forged(body("20241301134509", 3, 0)), order_, binding_, out));
  EXPECT_EQ(TokenFault::kShape, decode_page_token(forged(body("2024050113450x", 3, 0)), order_, binding_, out));
  EXPECT_EQ(TokenFault::kShape, decode_page_token(forged(body("20240501134509", 7, 0)), order_, binding_, out));
  EXPECT_EQ(TokenFault::kShape, decode_page_token(forged(body("20240501134509", 3, 3)), order_, binding_, out));
  EXPECT_EQ(TokenFault::kShape, decode_page_token(forged(body("20240501134509", 3, 0) + "x"), order_, binding_, out));
  std::string wrong_kind = body("20240501134509", 3, 0);
  wrong_kind[3] = 2;
  EXPECT_EQ(TokenFault::kShape, decode_page_token(forged(wrong_kind), order_, binding_, out));
  std::string version = body("20240501134509", 3, 0);
  version[0] = 2;
  EXPECT_EQ(TokenFault::kVersion, decode_page_token(forged(version), order_, binding_, out));
}

TEST(Base64UrlTest, OneTextPerByteString) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  for (std::size_t n = 0; n <= bytes.size(); n += 7) {
    std::string back;
    ASSERT_TRUE(base64url_decode(base64url_encode(bytes.substr(0, n)), back));
    EXPECT_EQ(bytes.substr(0, n), back);
  }
  std::string back;
  EXPECT_FALSE(base64url_decode("A", back));    // a partial byte
  EXPECT_FALSE(base64url_decode("AB", back));   // spare bits set
  EXPECT_TRUE(base64url_decode("AA", back));
}

}  // namespace
