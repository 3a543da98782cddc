#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "model/object_name.h"
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

// name:"alpha" written as name : "alpha"
std::string spaced(std::string value) {
  for (std::size_t at = 0; (at = value.find(':', at)) != std::string::npos; at += 3) value.replace(at, 1, " : ");
  return value;
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

TEST(MyOi2FdnTest, OneToFiveComponentsInBothLayouts) {
  for (std::size_t n = 1; n <= kFive.size(); ++n) {
    Components parts(kFive.begin(), kFive.begin() + n);
    EXPECT_EQ(MisImpl::my_oi2fdn(printed_compact(parts, true).c_str()), fdn(parts, true)) << n;
    EXPECT_EQ(MisImpl::my_oi2fdn(printed_compact(parts, false).c_str()), fdn(parts, false)) << n;
    const std::string expected = fdn(parts, true);
    EXPECT_EQ(MisImpl::my_oi2fdn(printed_spread(parts).c_str()), expected) << n;
    for (auto& part : parts) part.second = spaced(part.second);
    EXPECT_EQ(MisImpl::my_oi2fdn(printed_spread(parts).c_str()), expected) << n;
  }
}

TEST(MyOi2FdnTest, BlanksInsideQuotesAndBracesStay) {
  // Layout blanks after "{" and before "}" go; those inside quotes stay.
  const std::string in =
      "attributeId a,attributeValue { x y , \"p  q\" }\nattributeId b,attributeValue \"m n\"";
  EXPECT_EQ(MisImpl::my_oi2fdn(in.c_str()), "a={x y , \"p  q\"}/b=\"m n\"");
  // A quoted run may hold a comma; the name is still taken after the colon.
  EXPECT_EQ(MisImpl::my_oi2fdn("attributeId \"d,oc\":logId,attributeValue number:3"),
               "logId=number:3");
  // A newline at depth 0 ends a value even inside quotes: the quote left
  // open makes it no name at all, rather than a name cut short.
  EXPECT_EQ(MisImpl::my_oi2fdn("attributeId a,attributeValue \"x\ny"), "");
}

TEST(MyOi2FdnTest, MissingPartsAndOverlongInput) {
  EXPECT_EQ(MisImpl::my_oi2fdn("distinguishedName:\n{\n}"), "");
  EXPECT_EQ(MisImpl::my_oi2fdn(""), "");
  EXPECT_EQ(MisImpl::my_oi2fdn(nullptr), "");

  // An attribute without a value: said, and no part of the name given.
  testing::internal::CaptureStdout();
  const std::string result =
      MisImpl::my_oi2fdn("distinguishedName:\n{ attributeId systemId,attributeValue name:\"a\"\n attributeId logId,");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Can't decode fdn distinguishedName:\n{ attributeId systemId,attributeValue name:\"a\"\n"
            " attributeId logId, \n");
  EXPECT_EQ(result, "");

  // A name too long to take is refused, not cut short.
  const std::string huge =
      "attributeId systemId,attributeValue name:\"" + std::string(70000, 'x') + "\"";
  EXPECT_EQ(MisImpl::my_oi2fdn(huge.c_str()), "");
  const std::string fits = "attributeId s,attributeValue " + std::string(ObjectName::kMaxText - 2, 'y');
  EXPECT_EQ(MisImpl::my_oi2fdn(fits.c_str()).size(), ObjectName::kMaxText);
  EXPECT_EQ(MisImpl::my_oi2fdn((fits + "y").c_str()), "");
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

  // A quoted '/' belongs to the log's name.
  MisImpl::get_mis_and_log_and_id_from_fdn(
      DataUnit("/systemId=name:\"alpha\"/logId=string:\"a/b\"/logRecordId=number:7"), mis, log, id);
  EXPECT_EQ(mis, "alpha");
  EXPECT_EQ(log, "string:\"a/b\"");
  EXPECT_EQ(id, "number:7");

  // Text that is not wholly a name gives no part of one.
  MisImpl::get_mis_and_log_and_id_from_fdn(
      DataUnit("/systemId=name:\"alpha\"/logId=number:3/logRecordId=number:7 trailing"), mis, log,
      id);
  EXPECT_EQ(mis, "");
  EXPECT_EQ(log, "");
  EXPECT_EQ(id, "");

  // A log name alone: no record id to take.
  MisImpl::get_mis_and_log_and_id_from_fdn(DataUnit("/systemId=name:\"a\"/logId=number:3"), mis,
                                           log, id);
  EXPECT_EQ(mis, "a");
  EXPECT_EQ(log, "number:3");
  EXPECT_EQ(id, "");
}

TEST(MisNamesTest, CreateRefusesPartsThatAreNoValues) {
  EXPECT_EQ(MisImpl::create_fdn("name:\"a\"", "string:\"a/b\"", "number:1"),
            "/systemId=name:\"a\"/logId=string:\"a/b\"/logRecordId=number:1");
  // An unquoted '/' or a cut quote would name another object.
  EXPECT_EQ(MisImpl::create_fdn("name:\"a\"", "string:\"x\"/logId=string:\"y\"", "number:1"), "");
  EXPECT_EQ(MisImpl::create_fdn("name:\"a\"", "string:\"x", "number:1"), "");
  EXPECT_EQ(MisImpl::create_fdn("name:\"a\"", "string:\"x\"", "number:1/other=number:2"), "");
}

TEST(MisNamesTest, LocalMisNameFromSettingElseHost) {
  ASSERT_EQ(setenv("NX_MIS_NAME", "beta", 1), 0);
  EXPECT_EQ(MisImpl::get_local_mis_name(), "beta");
  char buffer[256] = "";
  MisImpl::get_local_mis_name(buffer);
  EXPECT_STREQ(buffer, "beta");
  // A record name without a system takes the local one.
  std::string mis, log, id;
  MisImpl::get_mis_and_log_and_id_from_fdn(DataUnit("/logId=number:5/logRecordId=number:9"), mis, log, id);
  EXPECT_EQ(mis, "beta");
  EXPECT_EQ(log, "number:5");
  EXPECT_EQ(id, "number:9");

  unsetenv("NX_MIS_NAME");
  char host[256] = "";
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  EXPECT_EQ(MisImpl::get_local_mis_name(), host);
}
