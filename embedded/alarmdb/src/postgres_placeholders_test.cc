#include "postgres_placeholders.h"

#include <gtest/gtest.h>

namespace {

std::string convert(const std::string& sql, int* parameters = nullptr) {
  std::string out, error;
  int n = -1;
  if (!nxdb::postgres_placeholders(sql, out, n, error)) return "error: " + error;
  if (parameters != nullptr) *parameters = n;
  return out;
}

TEST(PostgresPlaceholders, MarkersBecomeNumberedParameters) {
  int n = 0;
  EXPECT_EQ(convert("SELECT a FROM t WHERE b = ?1 AND c = ?12", &n),
            "SELECT a FROM t WHERE b = $1 AND c = $12");
  EXPECT_EQ(n, 12);
  // Bare markers count on from the highest so far, as the client's SQL means.
  EXPECT_EQ(convert("INSERT INTO t VALUES (?, ?, ?)", &n), "INSERT INTO t VALUES ($1, $2, $3)");
  EXPECT_EQ(n, 3);
  EXPECT_EQ(convert("VALUES (?2, ?)", &n), "VALUES ($2, $3)");
  EXPECT_EQ(convert("SELECT 1", &n), "SELECT 1");
  EXPECT_EQ(n, 0);
}

TEST(PostgresPlaceholders, QuotedTextAndCommentsAreLeftAlone) {
  EXPECT_EQ(convert("SELECT '?1', \"a?\" FROM t WHERE x = ? -- why?\n AND y = ?"),
            "SELECT '?1', \"a?\" FROM t WHERE x = $1 -- why?\n AND y = $2");
  EXPECT_EQ(convert("SELECT 'it''s ?' /* ?3 */, ?"), "SELECT 'it''s ?' /* ?3 */, $1");
}

TEST(PostgresPlaceholders, MalformedTextIsRefused) {
  EXPECT_EQ(convert("SELECT 'open ?").rfind("error: unterminated", 0), 0u);
  EXPECT_EQ(convert("SELECT 1 /* open").rfind("error: unterminated", 0), 0u);
  EXPECT_EQ(convert("SELECT ?0").rfind("error:", 0), 0u);
  EXPECT_EQ(convert("SELECT ?99999999999999999999").rfind("error:", 0), 0u);
}

}  // namespace
