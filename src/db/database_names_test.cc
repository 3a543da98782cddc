#include <gtest/gtest.h>

#include <string>

#include "db/database_impl.h"
#include "model/alarm_record.h"
#include "model/object_name.h"

namespace {

TEST(DatabaseNames, SplitsServerAndLogIdentifier) {
  DatabaseImpl db;
  std::string mis = "old";
  std::string log = "old";
  db.get_mis_and_log_from_fdn("/systemId=name:\"host\"/logId=string:\"AlarmLog\"", mis, log);
  EXPECT_EQ(mis, "host");
  EXPECT_EQ(log, "string:\"AlarmLog\"");

  db.get_mis_and_log_from_fdn("/systemId=name:\"h\"/logId=number:7/logRecordId=number:3", mis, log);
  EXPECT_EQ(mis, "h");
  EXPECT_EQ(log, "number:7");

  mis = "kept";
  db.get_mis_and_log_from_fdn("/logId=number:5", mis, log);
  EXPECT_EQ(mis, "kept");
  EXPECT_EQ(log, "number:5");

  db.get_mis_and_log_from_fdn("", mis, log);
  EXPECT_EQ(mis, "kept");
  EXPECT_EQ(log, "number:5");

  // A '/' inside the quoted log name does not cut the name short.
  db.get_mis_and_log_from_fdn("/systemId=name:\"h\"/logId=string:\"a/b\"", mis, log);
  EXPECT_EQ(log, "string:\"a/b\"");
  // The table lookup takes the text between the outer quotes as it stands.
  db.get_mis_and_log_from_fdn("/systemId=name:\"h\"/logId=string:\"say \"\"hi\"\"\"", mis, log);
  EXPECT_EQ(log, "string:\"say \"hi\"\"");

  // Text that is not wholly a log's name names no server and no log.
  for (const char* bad : {"/systemId=name:\"h\"/logId=string:\"a", "/systemId=name:\"h\"",
                          "/systemId=name:\"h\"//logId=number:1", "/logId=number:5 trailing"}) {
    mis = "kept";
    log = "kept";
    db.get_mis_and_log_from_fdn(bad, mis, log);
    EXPECT_EQ(mis, "") << bad;
    EXPECT_EQ(log, "") << bad;
  }
}

// The reader prints a name as ObjectName does, but refuses what is not
// wholly a name or prints longer than a name may be.
TEST(DatabaseNames, Fdn2oiWritesThePrintedForm) {
  for (const char* fdn : {"/systemId=name:\"host\"/logId=string:\"AlarmLog\"", "logId=number:5",
                          "/equipmentId=string:\"rack 1/slot 2\""}) {
    EXPECT_EQ(DatabaseImpl::my_fdn2oi(fdn), ObjectName::parse(fdn)->printed()) << fdn;
  }
  EXPECT_EQ(DatabaseImpl::my_fdn2oi("/"), "distinguishedName:\n{\n\t\n}");
  EXPECT_EQ(DatabaseImpl::my_fdn2oi(""), "localDistinguishedName:\n{\n\t\n}");
  EXPECT_EQ(DatabaseImpl::my_fdn2oi("/a=b//c=d"), "");
  EXPECT_EQ(DatabaseImpl::my_fdn2oi("/equipmentId=string:\"open"), "");
  const std::string huge = "/a=" + std::string(ObjectName::kMaxText, 'x');
  EXPECT_EQ(DatabaseImpl::my_fdn2oi(huge.c_str()), "");
  const std::string fits = "/a=" + std::string(ObjectName::kMaxText - 200, 'x');
  EXPECT_EQ(DatabaseImpl::my_fdn2oi(fits.c_str()).size(), 68 + fits.size() - 3);  // printed frame plus the value
}

// What a record keeps for a column's name, parsed once, is what printing the
// name and reading the printed form back gives; a name that gives no printed
// form gives no instance.
void expect_instance_as_printed_and_read_back(const std::string& fdn) {
  const std::string printed = DatabaseImpl::my_fdn2oi(fdn.c_str());
  std::string kept = "an earlier record's instance";
  const bool has = DatabaseImpl::fdn_instance(fdn.c_str(), kept);
  ASSERT_EQ(has, !printed.empty()) << fdn;
  if (has) {
    EXPECT_EQ(kept, AlarmRecord::map_text(ATTR_MANAGED_OBJECT_INSTANCE, printed)) << fdn;
  }
}

TEST(DatabaseNames, InstanceParsedOnceAgreesWithPrintedAndReadBack) {
  for (const char* fdn : {"/", "", "logId=number:5", "/systemId=name:\"alpha\"/equipmentId=name:\"rack 7\"",
                          "/a=string:\"r/1 \"\"x\"\"\"/b=number:-0", "/a={ b \"x } y\" }/c=name:\"\"",
                          "/a={\n\tb {c}\n}", "/a=b", "/a=attributeId/attributeValue=c", "/a=b//c=d",
                          "/a=string:\"open", "/a=name:\"x\"y", "/a b=c", "x", "/a=number:1x"}) {
    expect_instance_as_printed_and_read_back(fdn);
  }
  // Names of every shape from a few parts of each form.
  const char* const parts[] = {"systemId=name:\"alpha\"", "equipmentId=string:\"r \"\"1\"\"\"", "portId=number:48",
                               "cardId={ slot 3 }", "x=name:\"a/b\"", "y=", "z=name:\"\""};
  for (std::size_t a = 0; a < 7; ++a) {
    for (std::size_t b = 0; b < 7; ++b) {
      for (std::size_t c = 0; c < 7; ++c) {
        const std::string name = std::string(parts[a]) + "/" + parts[b] + "/" + parts[c];
        expect_instance_as_printed_and_read_back(name);
        expect_instance_as_printed_and_read_back("/" + name);
      }
    }
  }
  // At the bound: the text fits but its printed form is the one too long.
  const std::size_t frame = DatabaseImpl::my_fdn2oi("/a=b").size() - 1;
  for (std::size_t value : {ObjectName::kMaxText - frame - 1, ObjectName::kMaxText - frame,
                            ObjectName::kMaxText - frame + 1}) {
    const std::string fdn = "/a=" + std::string(value, 'x');
    expect_instance_as_printed_and_read_back(fdn);
    std::string kept;
    EXPECT_EQ(DatabaseImpl::fdn_instance(fdn.c_str(), kept), value <= ObjectName::kMaxText - frame) << value;
  }
}

TEST(DatabaseNames, GeneralizedTimePassesThrough) {
  DatabaseImpl db;
  EXPECT_EQ(db.alarm_convert_to_gen_time(""), "NULL");
  EXPECT_EQ(db.alarm_convert_to_gen_time(nullptr), "NULL");
  EXPECT_EQ(db.alarm_convert_to_gen_time("19990101120000Z"), "19990101120000Z");
  EXPECT_EQ(db.alarm_convert_to_gen_time(std::string(29, '1').c_str()), std::string(29, '1'));
  EXPECT_EQ(db.alarm_convert_to_gen_time(std::string(30, '1').c_str()), "NULL");
}

TEST(DatabaseNames, UnconvertibleNameHasNoIdentity) {
  // The unterminated quote makes the name unconvertible; the database is
  // never reached (NX_ALARM_DB points nowhere usable).
  setenv("NX_ALARM_DB", "/nonexistent/dir/none.db", 1);
  EXPECT_EQ(DatabaseImpl::get_unique_moid("alpha", "/systemId=name:\"alpha"), -1);
  EXPECT_EQ(DatabaseImpl::get_unique_moid("alpha", "/a=b//c=d"), -1);
  unsetenv("NX_ALARM_DB");
}

}  // namespace
