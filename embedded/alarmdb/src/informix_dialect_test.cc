#include "nxdb/informix_dialect.h"

#include <gtest/gtest.h>

#include <utility>

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
  const std::pair<const char*, const char*> cases[] = {
      {"eventTime >= DATETIME (2001-02-03 04:05:06) YEAR to SECOND", "eventTime >= '2001-02-03 04:05:06'"},
      {"a < datetime(1999-12-31 23:59:59)year TO second AND b = 1", "a < '1999-12-31 23:59:59' AND b = 1"},
      // Two literals in one condition, as a time range filter gives.
      {"( t >= DATETIME (2001-01-01 00:00:00) YEAR to SECOND ) AND "
       "( t < DATETIME (2001-02-01 00:00:00) YEAR to SECOND )",
       "( t >= '2001-01-01 00:00:00' ) AND ( t < '2001-02-01 00:00:00' )"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(sqlite(in), out);
  EXPECT_EQ(translate_informix("x = DATETIME (2001-02-03 04:05:06) YEAR to SECOND", Dialect::kPostgres).sql,
            "x = TIMESTAMP '2001-02-03 04:05:06'");
}

TEST(InformixDialect, StringLiteralsAndOtherTextPassUntouched) {
  for (const char* sql : {
           "additionalText = 'DATETIME (2001-02-03 04:05:06) YEAR to SECOND' AND "
           "ackText = 'set lock mode to wait 5' AND ackOperator = 'it''s DATETIME ('",
           "MOC_s LIKE '%router\\_a%' ESCAPE '\\' AND MOI_s NOT LIKE 'a=b%' ESCAPE '\\' ",
           "SELECT nxlogname FROM nxlog , log WHERE log.nxlogid = nxlog.nxlogid AND log.nxlogid = "
           "'AlarmLog' AND log.logidtype = 'string' AND nxlogrecordtype = 'nxAlm';",
           "SELECT datetime FROM t",  // a column called datetime is no literal
           "SELECT 1 -- DATETIME (x)\n", "SELECT { DATETIME ( } 1"}) {
    EXPECT_EQ(sqlite(sql), sql);
  }
}

TEST(InformixDialect, MalformedDatetimeIsRefusedNotPassedOn) {
  for (const char* sql : {"t > DATETIME (2001-13-03 04:05:06) YEAR to SECOND",
                          "t > DATETIME (2001-02-03 24:00:00) YEAR to SECOND",
                          "t > DATETIME (2001-02-03) YEAR to DAY",
                          "t > DATETIME (2001-02-03 04:05:06) YEAR to MINUTE",
                          "t > DATETIME (2001-02-03 04:05:06)",
                          "t > DATETIME (2001-02-03 04:05:06 YEAR to SECOND",
                          "t > DATETIME ('2001-02-03 04:05:06') YEAR to SECOND",
                          "t > DATETIME (2001-02-0a 04:05:06) YEAR to SECOND"}) {
    EXPECT_TRUE(refused(sql)) << sql;
  }
}

TEST(InformixDialect, UnterminatedQuotesAndCommentsAreRefused) {
  for (const char* sql : {"a = 'open", "a = 'it''s", "a = \"x", "SELECT 1 /* no end", "SELECT { no end"}) {
    EXPECT_TRUE(refused(sql)) << sql;
  }
}

TEST(InformixDialect, LockModeBecomesALockWait) {
  const std::pair<const char*, int> waits[] = {{"set lock mode to wait 120", 120},
                                               {"  SET LOCK MODE TO WAIT 30 ;", 30},
                                               {"set lock mode to wait", -1},
                                               {"set lock mode to not wait", 0}};
  for (const auto& [sql, seconds] : waits) {
    const Translation t = translate_informix(sql, Dialect::kSqlite);
    EXPECT_EQ(t.kind, Translation::Kind::kLockWait) << sql;
    EXPECT_EQ(t.lock_wait_seconds, seconds) << sql;
  }
  const Translation huge = translate_informix("set lock mode to wait 99999999999999", Dialect::kSqlite);
  EXPECT_EQ(huge.kind, Translation::Kind::kLockWait);
  EXPECT_GT(huge.lock_wait_seconds, 0);
  for (const char* sql : {"set lock mode to wait abc", "set lock mode to wait -5",
                          "set lock mode to wait 5; DROP TABLE log", "set lock mode wait 5"}) {
    EXPECT_TRUE(refused(sql)) << sql;
  }
}

}  // namespace
