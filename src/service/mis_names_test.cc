#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "service/mis_impl.h"

namespace {

using Components = std::vector<std::pair<std::string, std::string>>;

// The printed form the database reader writes for a name: one block per
// relative name, "attributeId" and "attributeValue" on one line.
std::string printed_compact(const Components& parts, bool full) {
  std::string s = full ? "distinguishedName:\n{\n\t" : "localDistinguishedName:\n{\n\t";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    s += "{\n\t\t{\n\t\tattributeId " + parts[i].first + ",attributeValue " + parts[i].second +
         "\n\t\t}\n\t}";
    if (i + 1 < parts.size()) s += ",\n\t";
  }
  return s + "\n}";
}

// The decoder's layout: each entry on a line of its own, blanks around
// the colons, document-qualified attribute names.
std::string printed_spread(const Components& parts) {
  std::string s = "distinguishedName :\n{\n";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    s += "  {\n    {\n      attributeId \"Rec. X.721 | ISO/IEC 10165-2 : 1992\" : " +
         parts[i].first + ",\n      attributeValue " + parts[i].second + "\n    }\n  }";
    if (i + 1 < parts.size()) s += ",";
    s += "\n";
  }
  return s + "}\n";
}

std::string spaced(const std::string& value) {
  // name:"alpha" written as name : "alpha"
  std::string out;
  for (char c : value) {
    if (c == ':') {
      out += " : ";
    } else {
      out += c;
    }
  }
  return out;
}

std::string fdn(const Components& parts, bool full) {
  std::string s = full ? "/" : "";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i != 0) s += "/";
    s += parts[i].first + "=" + parts[i].second;
  }
  return s;
}

const Components kFive = {
    {"systemId", "name:\"alpha\""},
    {"logId", "string:\"AlarmLog\""},
    {"logRecordId", "number:42"},
    {"networkId", "string:\"net 1\""},
    {"equipmentId", "number:7"},
};

}  // namespace

TEST(MyOi2FdnTest, PrintedNameExampleInBothLayouts) {
  const char example[] =
      "distinguishedName:\n{\n\t{\n\t\t{\n\t\tattributeId systemId,attributeValue "
      "name:\"alpha\"\n\t\t}\n\t},\n\t{\n\t\t{\n\t\tattributeId logId,attributeValue "
      "string:\"AlarmLog\"\n\t\t}\n\t}\n}";
  EXPECT_STREQ(MisImpl::my_oi2fdn(example), "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"");

  const std::string spread = printed_spread(
      {{"systemId", spaced("name:\"alpha\"")}, {"logId", spaced("string:\"AlarmLog\"")}});
  EXPECT_STREQ(MisImpl::my_oi2fdn(spread.c_str()),
               "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"");
}

TEST(MyOi2FdnTest, OneToFiveComponents) {
  for (std::size_t n = 1; n <= kFive.size(); ++n) {
    const Components parts(kFive.begin(), kFive.begin() + n);
    EXPECT_EQ(MisImpl::my_oi2fdn(printed_compact(parts, true).c_str()), fdn(parts, true)) << n;
    EXPECT_EQ(MisImpl::my_oi2fdn(printed_compact(parts, false).c_str()), fdn(parts, false)) << n;
    EXPECT_EQ(MisImpl::my_oi2fdn(printed_spread(parts).c_str()), fdn(parts, true)) << n;
  }
}

TEST(MyOi2FdnTest, BlanksInsideQuotesAndBracesStay) {
  // Layout blanks after "{" and before "}" go; those inside quotes stay.
  const std::string in =
      "attributeId a,attributeValue { x y , \"p  q\" }\nattributeId b,attributeValue \"m n\"";
  EXPECT_STREQ(MisImpl::my_oi2fdn(in.c_str()), "a={x y , \"p  q\"}/b=\"m n\"");
  // A newline at depth 0 ends a value even inside quotes.
  EXPECT_STREQ(MisImpl::my_oi2fdn("attributeId a,attributeValue \"x\ny"), "a=\"x");
  // A quoted run may hold a comma; the name is still taken after the colon.
  EXPECT_STREQ(MisImpl::my_oi2fdn("attributeId \"d,oc\":logId,attributeValue number:3"),
               "logId=number:3");
}

TEST(MyOi2FdnTest, MissingPartsAndOverlongInput) {
  EXPECT_STREQ(MisImpl::my_oi2fdn("distinguishedName:\n{\n}"), "");
  EXPECT_STREQ(MisImpl::my_oi2fdn(""), "");
  EXPECT_STREQ(MisImpl::my_oi2fdn(nullptr), "");

  testing::internal::CaptureStdout();
  const std::string result = MisImpl::my_oi2fdn("distinguishedName:\n{ attributeId systemId,");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Can't decode fdn distinguishedName:\n{ attributeId systemId, \n");
  EXPECT_EQ(result, "/systemId=");

  // A name that does not fit the buffer is refused, not cut short.
  const std::string huge =
      "attributeId systemId,attributeValue name:\"" + std::string(70000, 'x') + "\"";
  EXPECT_STREQ(MisImpl::my_oi2fdn(huge.c_str()), "");
  const std::string fits =
      "attributeId s,attributeValue " + std::string(MisImpl::FDN_BUFFER_SIZE - 3, 'y');
  EXPECT_EQ(std::string(MisImpl::my_oi2fdn(fits.c_str())).size(), MisImpl::FDN_BUFFER_SIZE - 1);
}

TEST(MisNamesTest, CreateAndSplitRecordName) {
  const std::string name = MisImpl::create_fdn("name:\"alpha\"", "string:\"AlarmLog\"", "number:42");
  EXPECT_EQ(name, "/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"/logRecordId=number:42");

  std::string mis = "m", log = "l", id = "i";
  MisImpl::get_mis_and_log_and_id_from_fdn(DataUnit(name), mis, log, id);
  EXPECT_EQ(mis, "alpha");
  EXPECT_EQ(log, "string:\"AlarmLog\"");
  EXPECT_EQ(id, "number:42");

  mis = "m";
  MisImpl::get_mis_and_log_and_id_from_fdn(DataUnit(""), mis, log, id);
  EXPECT_EQ(mis, "m");  // an empty name changes nothing

  MisImpl::get_mis_and_log_and_id_from_fdn(
      DataUnit("/systemId=name:\"alpha\"/logId=number:3/logRecordId=number:7 trailing"), mis, log,
      id);
  EXPECT_EQ(log, "number:3");
  EXPECT_EQ(id, "number:7");

  // A log name alone: no record id to take.
  MisImpl::get_mis_and_log_and_id_from_fdn(DataUnit("/systemId=name:\"a\"/logId=number:3"), mis,
                                           log, id);
  EXPECT_EQ(mis, "a");
  EXPECT_EQ(log, "number:3");
  EXPECT_EQ(id, "");
}

TEST(MisNamesTest, SplitWithoutSystemUsesLocalMisName) {
  ASSERT_EQ(setenv("NX_MIS_NAME", "localmis", 1), 0);
  std::string mis, log, id;
  MisImpl::get_mis_and_log_and_id_from_fdn(DataUnit("/logId=number:5/logRecordId=number:9"), mis,
                                           log, id);
  EXPECT_EQ(mis, "localmis");
  EXPECT_EQ(log, "number:5");
  EXPECT_EQ(id, "number:9");
  unsetenv("NX_MIS_NAME");
}

TEST(MisNamesTest, SplitIntoCharacterBuffers) {
  char mis[64] = "old";
  char log[64] = "old";
  MisImpl::get_mis_and_log_from_fdn_void("/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"", mis,
                                         log);
  EXPECT_STREQ(mis, "alpha");
  EXPECT_STREQ(log, "AlarmLog");
  MisImpl::get_mis_and_log_from_fdn_void("/logId=string:\"Other\"", mis, log);
  EXPECT_STREQ(mis, "");
  EXPECT_STREQ(log, "Other");
  MisImpl::get_mis_and_log_from_fdn_void("/systemId=name:\"alpha\"", mis, log);
  EXPECT_STREQ(mis, "alpha");
  EXPECT_STREQ(log, "");
}

TEST(MisNamesTest, LocalMisNameFromSettingElseHost) {
  ASSERT_EQ(setenv("NX_MIS_NAME", "beta", 1), 0);
  EXPECT_EQ(MisImpl::get_local_mis_name(), "beta");
  char buffer[256] = "";
  MisImpl::get_local_mis_name(buffer);
  EXPECT_STREQ(buffer, "beta");

  unsetenv("NX_MIS_NAME");
  char host[256] = "";
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  EXPECT_EQ(MisImpl::get_local_mis_name(), host);
}
