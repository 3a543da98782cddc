// Wanted attributes listed more than once: a record's fields and its packed
// form hold each attribute once, however often it is listed, whether the
// list reaches the packer by hand or through the field reader.
#include "jni/record_packer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "db/database_impl.h"
#include "db/record_fields.h"
#include "nxdb/schema.h"
#include "nxdb_testing/scratch_database.h"

namespace nxjni {
namespace {

std::string packed(const RecordFields& fields) {
  RecordPacker packer;
  packer.add(fields);
  return packer.bytes();
}

// Fills every listing the way the reader used to: one text per index.
void set_all(RecordFields& fields, AlarmAttributeId id, const std::string& text) {
  for (std::size_t i = 0; i < fields.wanted().size(); ++i) {
    if (fields.wanted()[i] == id) fields.set(i) = text;
  }
}

TEST(RepeatedAttributes, ShareTheTextOfTheirFirstListing) {
  RecordFields fields({ATTR_ACK_TEXT, ATTR_EVENT_TYPE, ATTR_ACK_TEXT, ATTR_ACK_TEXT});
  EXPECT_FALSE(fields.repeat(0));
  EXPECT_FALSE(fields.repeat(1));
  EXPECT_TRUE(fields.repeat(2));
  EXPECT_TRUE(fields.repeat(3));
  fields.set(3) = "on it";
  ASSERT_NE(fields.text(0), nullptr);
  EXPECT_EQ(fields.text(0), fields.text(3));  // the same string, not a copy
  EXPECT_EQ(*fields.text(2), "on it");
  EXPECT_EQ(fields.text(1), nullptr);
  fields.clear(2);
  EXPECT_EQ(fields.text(0), nullptr);
}

TEST(RepeatedAttributes, PackOnceAsIfListedOnce) {
  const std::string megabyte(1 << 20, 'a');
  RecordFields once({ATTR_ACK_TEXT});
  set_all(once, ATTR_ACK_TEXT, megabyte);
  RecordFields many(std::vector<AlarmAttributeId>(300, ATTR_ACK_TEXT));
  set_all(many, ATTR_ACK_TEXT, megabyte);
  EXPECT_EQ(packed(many).size(), packed(once).size());

  // Every kind of field, repeated in a mixed order: the fields of the list
  // without its repeats, in the order first listed.
  RecordFields mixed({ATTR_LOG_NAME, ATTR_ACK_TEXT, ATTR_LOG_RECORD_ID, ATTR_PERCEIVED_SEVERITY, ATTR_ACK_TEXT,
                      ATTR_LOG_NAME, ATTR_MANAGED_OBJECT_INSTANCE, ATTR_LOG_RECORD_ID, ATTR_PERCEIVED_SEVERITY,
                      ATTR_MANAGED_OBJECT_INSTANCE, ATTR_ACK_STATE, ATTR_ACK_STATE});
  RecordFields distinct({ATTR_LOG_NAME, ATTR_ACK_TEXT, ATTR_LOG_RECORD_ID, ATTR_PERCEIVED_SEVERITY,
                         ATTR_MANAGED_OBJECT_INSTANCE, ATTR_ACK_STATE});
  for (RecordFields* f : {&mixed, &distinct}) {
    f->record_id() = "number:7";
    set_all(*f, ATTR_ACK_TEXT, "on it");
    set_all(*f, ATTR_PERCEIVED_SEVERITY, "major");
    set_all(*f, ATTR_MANAGED_OBJECT_INSTANCE, "/systemId=name:\"alpha\"");
    set_all(*f, ATTR_ACK_STATE, "acked");
  }
  EXPECT_EQ(packed(mixed), packed(distinct));
}

TEST(RepeatedAttributes, TheFieldReaderReadsEachOnce) {
  nxdb_test::ScratchDatabase scratch;
  ASSERT_TRUE(scratch.ok()) << scratch.error();
  scratch.export_location();
  const std::string megabyte(1 << 20, 'b');
  {
    NXDBInterface db(NXDBConnectInfo("alpha", 1), nxdb::OpenMode::kCreate);
    std::string error;
    ASSERT_TRUE(nxdb::create_schema(db, error) && nxdb::create_log(db, "AlarmLog", false, error)) << error;
    const std::string table = nxdb::log_table_name(db, "AlarmLog", false, "nxAlm");
    ASSERT_TRUE(db.backend()->exec_script("INSERT INTO " + table +
                                              " (logrecordid, eventtime, ackstate, clearstate, acktext) VALUES "
                                              "(1, '2001-02-03 04:05:06', 'acked', 'unCleared', '" +
                                              megabyte + "')",
                                          error))
        << error;
  }
  std::vector<AlarmAttributeId> wanted(300, ATTR_ACK_TEXT);
  wanted.push_back(ATTR_LOG_RECORD_ID);
  DatabaseImpl reader;
  std::size_t rows = 0;
  std::size_t packed_size = 0;
  ASSERT_TRUE(reader.stream_log_fields("/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"", "", wanted,
                                       [&](const RecordFields& fields) {
                                         ++rows;
                                         const std::string* first = fields.text(0);
                                         EXPECT_NE(first, nullptr);
                                         if (first) {
                                           EXPECT_EQ(first->size(), megabyte.size());
                                         }
                                         for (std::size_t i = 1; i < 300; ++i) EXPECT_EQ(fields.text(i), first);
                                         packed_size = packed(fields).size();
                                         return true;
                                       }));
  EXPECT_EQ(rows, 1u);
  RecordFields once({ATTR_ACK_TEXT, ATTR_LOG_RECORD_ID});
  once.set(0) = megabyte;
  once.record_id() = "number:1";
  EXPECT_EQ(packed_size, packed(once).size());
  unsetenv("NX_ALARM_DB");
}

}  // namespace
}  // namespace nxjni
