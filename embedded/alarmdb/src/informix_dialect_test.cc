#include "nxdb/informix_dialect.h"

#include <gtest/gtest.h>

namespace {

using nxdb::Dialect;
using nxdb::Translation;
using nxdb::translate_informix;

std::string sqlite(const std::string& sql) {
  Translation t = translate_informix(sql, Dialect::kSqlite);
  EXPECT_EQ(t.kind, Translation::Kind::kStatement) << sql << ": " << t.error;
  return t.sql;
}

bool refused(const std::string& sql) {
  return translate_informix(sql, Dialect::kSqlite).kind == Translation::Kind::kError;
}

TEST(InformixDialect, DatetimeLiteralsBecomeStoredTimeText) {
  EXPECT_EQ(sqlite("eventTime >= DATETIME (2001-02-03 04:05:06) YEAR to SECOND"),
            "eventTime >= '2001-02-03 04:05:06'");
  EXPECT_EQ(sqlite("a < datetime(1999-12-31 23:59:59)year TO second AND b = 1"),
            "a < '1999-12-31 23:59:59' AND b = 1");
  // Two literals in one condition, as a time range filter gives.
  EXPECT_EQ(sqlite("( t >= DATETIME (2001-01-01 00:00:00) YEAR to SECOND ) AND "
                   "( t < DATETIME (2001-02-01 00:00:00) YEAR to SECOND )"),
            "( t >= '2001-01-01 00:00:00' ) AND ( t < '2001-02-01 00:00:00' )");
  Translation pg = translate_informix("x = DATETIME (2001-02-03 04:05:06) YEAR to SECOND",
                                      Dialect::kPostgres);
  EXPECT_EQ(pg.sql, "x = TIMESTAMP '2001-02-03 04:05:06'");
}

TEST(InformixDialect, StringLiteralsAndOtherTextPassUntouched) {
  const std::string inside =
      "additionalText = 'DATETIME (2001-02-03 04:05:06) YEAR to SECOND' AND "
      "ackText = 'set lock mode to wait 5' AND ackOperator = 'it''s DATETIME ('";
  EXPECT_EQ(sqlite(inside), inside);
  const std::string like = "MOC_s LIKE '%router\\_a%' ESCAPE '\\' AND MOI_s NOT LIKE 'a=b%' ESCAPE '\\' ";
  EXPECT_EQ(sqlite(like), like);
  const std::string lookup =
      "SELECT nxlogname FROM nxlog , log WHERE log.nxlogid = nxlog.nxlogid AND log.nxlogid = "
      "'AlarmLog' AND log.logidtype = 'string' AND nxlogrecordtype = 'nxAlm';";
  EXPECT_EQ(sqlite(lookup), lookup);
  // A column that happens to be called datetime is not a literal.
  EXPECT_EQ(sqlite("SELECT datetime FROM t"), "SELECT datetime FROM t");
  // Comments are kept whole, whatever they hold.
  EXPECT_EQ(sqlite("SELECT 1 -- DATETIME (x)\n"), "SELECT 1 -- DATETIME (x)\n");
  EXPECT_EQ(sqlite("SELECT { DATETIME ( } 1"), "SELECT { DATETIME ( } 1");
}

TEST(InformixDialect, MalformedDatetimeIsRefusedNotPassedOn) {
  EXPECT_TRUE(refused("t > DATETIME (2001-13-03 04:05:06) YEAR to SECOND"));  // month 13
  EXPECT_TRUE(refused("t > DATETIME (2001-02-03 24:00:00) YEAR to SECOND"));
  EXPECT_TRUE(refused("t > DATETIME (2001-02-03) YEAR to DAY"));
  EXPECT_TRUE(refused("t > DATETIME (2001-02-03 04:05:06) YEAR to MINUTE"));
  EXPECT_TRUE(refused("t > DATETIME (2001-02-03 04:05:06)"));
  EXPECT_TRUE(refused("t > DATETIME (2001-02-03 04:05:06 YEAR to SECOND"));
  EXPECT_TRUE(refused("t > DATETIME ('2001-02-03 04:05:06') YEAR to SECOND"));
  EXPECT_TRUE(refused("t > DATETIME (2001-02-0a 04:05:06) YEAR to SECOND"));
}

TEST(InformixDialect, UnterminatedQuotesAndCommentsAreRefused) {
  EXPECT_TRUE(refused("a = 'open"));
  EXPECT_TRUE(refused("a = 'it''s"));
  EXPECT_TRUE(refused("a = \"x"));
  EXPECT_TRUE(refused("SELECT 1 /* no end"));
  EXPECT_TRUE(refused("SELECT { no end"));
}

TEST(InformixDialect, LockModeBecomesALockWait) {
  Translation t = translate_informix("set lock mode to wait 120", Dialect::kSqlite);
  EXPECT_EQ(t.kind, Translation::Kind::kLockWait);
  EXPECT_EQ(t.lock_wait_seconds, 120);
  t = translate_informix("  SET LOCK MODE TO WAIT 30 ;", Dialect::kSqlite);
  EXPECT_EQ(t.kind, Translation::Kind::kLockWait);
  EXPECT_EQ(t.lock_wait_seconds, 30);
  t = translate_informix("set lock mode to wait", Dialect::kSqlite);
  EXPECT_EQ(t.lock_wait_seconds, -1);
  t = translate_informix("set lock mode to not wait", Dialect::kSqlite);
  EXPECT_EQ(t.kind, Translation::Kind::kLockWait);
  EXPECT_EQ(t.lock_wait_seconds, 0);
  t = translate_informix("set lock mode to wait 99999999999999", Dialect::kSqlite);
  EXPECT_EQ(t.kind, Translation::Kind::kLockWait);
  EXPECT_GT(t.lock_wait_seconds, 0);

  EXPECT_TRUE(refused("set lock mode to wait abc"));
  EXPECT_TRUE(refused("set lock mode to wait -5"));
  EXPECT_TRUE(refused("set lock mode to wait 5; DROP TABLE log"));
  EXPECT_TRUE(refused("set lock mode wait 5"));
}

}  // namespace
