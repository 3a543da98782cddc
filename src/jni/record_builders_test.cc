// The two ways a Java record is made — field by field through JNI (events)
// and from packed fields by the Java side (retrievals) — must give the same
// record and the same complaints, whatever the texts.
#include <gtest/gtest.h>
#include <jni.h>

#include <ctime>
#include <string>
#include <vector>

#include "jni/java_ids.h"
#include "jni/jni_calls.h"
#include "jni/packed_records.h"
#include "jni/record_convert.h"
#include "jni/record_packer.h"
#include "jni/scoped_jni.h"
#include "jni/test_jvm.h"

namespace {

struct Case {
  const char* what;
  std::vector<std::pair<AlarmAttributeId, std::string>> attributes;
  std::string record_id;
  std::vector<AlarmAttributeId> wanted;
};

std::vector<AlarmAttributeId> every_field() {
  return {ATTR_LOG_NAME,       ATTR_LOG_RECORD_ID,  ATTR_MANAGED_OBJECT_INSTANCE, ATTR_PERCEIVED_SEVERITY,
          ATTR_EVENT_TYPE,     ATTR_PROBABLE_CAUSE, ATTR_EVENT_TIME,              ATTR_LOGGING_TIME,
          ATTR_ADDITIONAL_TEXT, ATTR_ACK_STATE,     ATTR_ACK_OPERATOR,            ATTR_ACK_TEXT,
          ATTR_ACK_TIME,       ATTR_CLEAR_STATE,    ATTR_CLEAR_OPERATOR,          ATTR_CLEAR_TEXT,
          ATTR_CLEAR_TIME,     ATTR_DISPLAY_STATE,  ATTR_DISPLAY_OPERATOR,        ATTR_DISPLAY_TEXT,
          ATTR_DISPLAY_TIME};
}

std::vector<Case> cases() {
  return {
      {"every field set",
       {{ATTR_ACK_OPERATOR, "op"}, {ATTR_ACK_STATE, "acked"}, {ATTR_ACK_TEXT, "seen"},
        {ATTR_ACK_TIME, "20001231235959"}, {ATTR_ADDITIONAL_TEXT, "link down"}, {ATTR_CLEAR_OPERATOR, "c"},
        {ATTR_CLEAR_STATE, "cleared"}, {ATTR_CLEAR_TEXT, "gone"}, {ATTR_CLEAR_TIME, "20010101000000"},
        {ATTR_DISPLAY_OPERATOR, "d"}, {ATTR_DISPLAY_STATE, "displayed"}, {ATTR_DISPLAY_TEXT, "shown"},
        {ATTR_DISPLAY_TIME, "20020202020202"}, {ATTR_EVENT_TIME, "generalizedTime:\"20001231235959\""},
        {ATTR_EVENT_TYPE, "communicationsAlarm"}, {ATTR_LOGGING_TIME, "19991231000000"},
        {ATTR_MANAGED_OBJECT_INSTANCE, "/systemId=name:\"alpha\""}, {ATTR_PERCEIVED_SEVERITY, "major"},
        {ATTR_PROBABLE_CAUSE, "localValue : 5"}},
       "number:77",
       every_field()},
      {"empty, NULL and unconvertible texts",
       {{ATTR_ACK_OPERATOR, ""}, {ATTR_ACK_STATE, "unAcked"}, {ATTR_ACK_TIME, "NULL"}, {ATTR_CLEAR_TIME, "abc"},
        {ATTR_DISPLAY_TIME, "NULL"}, {ATTR_EVENT_TIME, "1999"}, {ATTR_LOGGING_TIME, " 2000123123595x"},
        {ATTR_EVENT_TYPE, ""}, {ATTR_PERCEIVED_SEVERITY, "cleared"}, {ATTR_CLEAR_STATE, "unCleared"},
        {ATTR_DISPLAY_STATE, "displayed "}, {ATTR_PROBABLE_CAUSE, ""}, {ATTR_MANAGED_OBJECT_INSTANCE, ""}},
       "number:0",
       every_field()},
      {"texts that are not modified UTF-8",
       {{ATTR_ACK_TEXT, std::string("nul\0inside", 10)}, {ATTR_ADDITIONAL_TEXT, "\xff\xfe bytes"},
        {ATTR_CLEAR_TEXT, "smile \xF0\x9F\x98\x80"}, {ATTR_DISPLAY_TEXT, "surrogate \xED\xA0\x80"},
        {ATTR_EVENT_TYPE, "overlong \xC0\xAF and cut \xE2\x82"}, {ATTR_PROBABLE_CAUSE, "caf\xC3\xA9 \xE2\x82\xAC"},
        {ATTR_MANAGED_OBJECT_INSTANCE, "/systemId=name:\"\xE6\x9D\xB1\xff\""}},
       "number:-5",
       every_field()},
      {"record identifiers that are no number",
       {{ATTR_PERCEIVED_SEVERITY, "minor"}},
       "string:\"77\"",
       {ATTR_LOG_RECORD_ID, ATTR_PERCEIVED_SEVERITY, ATTR_LOG_RECORD_ID}},
      {"attributes the record has no field for, in the asked order",
       {{ATTR_MANAGED_OBJECT_CLASS, "router"}, {ATTR_NOTIFICATION_ID, "11"}, {ATTR_PERCEIVED_SEVERITY, "critical"},
        {ATTR_MOSI_SEVERITY, "3"}},
       "garbage",
       {ATTR_MANAGED_OBJECT_CLASS, ATTR_LOG_NAME, ATTR_NOTIFICATION_ID, ATTR_PERCEIVED_SEVERITY, ATTR_MOSI_SEVERITY,
        ATTR_LOG_RECORD_ID,
        ATTR_LOG_NAME}},
      {"nothing asked", {{ATTR_EVENT_TYPE, "x"}}, "number:1", {}},
  };
}

class RecordBuilders : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = jvm_env();
    ASSERT_NE(env_, nullptr);
    ids_ = &nxjni::java_ids();
    ASSERT_NE(ids_->alarm_record, nullptr);
    jclass log_class = env_->FindClass("com/qel/nx/api/alarm/LogName");
    ASSERT_NE(log_class, nullptr);
    jmethodID ctor = env_->GetMethodID(log_class, "<init>", "(Ljava/lang/String;Ljava/lang/String;)V");
    ScopedLocalRef<jstring> mis(env_, env_->NewStringUTF("alpha"));
    ScopedLocalRef<jstring> log(env_, env_->NewStringUTF("AlarmLog"));
    log_name_ = nxjni::new_object(env_, log_class, ctor, mis.get(), log.get());
    attr_set_ = nxjni::new_object(env_, ids_->attribute_set, ids_->attribute_set_ctor);
    ASSERT_NE(log_name_, nullptr);
    ASSERT_NE(attr_set_, nullptr);
  }

  // The record through JNI calls, as the event path makes it.
  jobject by_jni(const Case& c) {
    AlarmAttributeMap map;
    for (const auto& [id, text] : c.attributes) map.emplace(id, text);
    const std::list<AlarmAttributeId> wanted(c.wanted.begin(), c.wanted.end());
    jobject record = alarm2record(env_, log_name_, map, c.record_id, wanted);
    if (record) env_->SetObjectField(record, ids_->attr_set, attr_set_);
    return record;
  }

  // The record from packed fields, as retrievals make it.
  jobject by_packing(const Case& c) {
    RecordFields fields(c.wanted);
    fields.record_id() = c.record_id;
    for (std::size_t i = 0; i < c.wanted.size(); ++i) {
      for (const auto& [id, text] : c.attributes) {
        if (id == c.wanted[i]) fields.set(i) = text;
      }
    }
    nxjni::RecordPacker packer;
    packer.add(fields);
    nxjni::PackedRun run;
    run.records = packer.records();
    run.bytes = packer.take();
    nxjni::PackedRecords packed(env_, log_name_, attr_set_);
    if (!packed.ok() || !packed.add(run)) return nullptr;
    ScopedLocalRef<jobjectArray> array(env_, packed.drain());
    if (!array || env_->GetArrayLength(array.get()) != 1) return nullptr;
    return env_->GetObjectArrayElement(array.get(), 0);
  }

  std::string text_of(jobject record) {
    jclass object = env_->FindClass("java/lang/Object");
    jmethodID to_string = env_->GetMethodID(object, "toString", "()Ljava/lang/String;");
    ScopedLocalRef<jstring> s(env_, static_cast<jstring>(nxjni::call_object(env_, record, to_string)));
    if (!s) return "<toString threw>";
    // UTF-16 units, so that replacement characters and NULs compare exactly.
    const jsize n = env_->GetStringLength(s.get());
    std::u16string units(static_cast<std::size_t>(n), u'\0');
    env_->GetStringRegion(s.get(), 0, n, reinterpret_cast<jchar*>(units.data()));
    std::string out;
    for (char16_t u : units) out += u < 0x80 ? std::string(1, static_cast<char>(u)) : "\\u" + std::to_string(u);
    return out;
  }

  bool same_field(jobject a, jobject b, jfieldID field) {
    ScopedLocalRef<> fa(env_, env_->GetObjectField(a, field));
    ScopedLocalRef<> fb(env_, env_->GetObjectField(b, field));
    return env_->IsSameObject(fa.get(), fb.get());
  }

  JNIEnv* env_ = nullptr;
  const nxjni::JavaIds* ids_ = nullptr;
  jobject log_name_ = nullptr;
  jobject attr_set_ = nullptr;
};

TEST_F(RecordBuilders, GiveTheSameRecordsAndComplaints) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.what);
    jobject jni = nullptr;
    jobject packed = nullptr;
    const std::string jni_said = capture_stderr([&] { jni = by_jni(c); });
    const std::string packed_said = capture_stderr([&] { packed = by_packing(c); });
    ASSERT_NE(jni, nullptr);
    ASSERT_NE(packed, nullptr);
    EXPECT_FALSE(env_->ExceptionCheck());
    EXPECT_EQ(text_of(jni), text_of(packed));
    EXPECT_EQ(jni_said, packed_said);
    // Shared objects stay shared: the caller's log name and set, the five
    // severities, Boolean.TRUE.
    EXPECT_TRUE(same_field(jni, packed, ids_->log_name));
    EXPECT_TRUE(same_field(jni, packed, ids_->attr_set));
    EXPECT_TRUE(same_field(jni, packed, ids_->perceived_severity));
    EXPECT_TRUE(same_field(jni, packed, ids_->ack_state));
    env_->DeleteLocalRef(jni);
    env_->DeleteLocalRef(packed);
  }
}

TEST_F(RecordBuilders, ComplaintsAndConversionsAreTheExpectedOnes) {
  const std::vector<Case> all = cases();
  jobject record = nullptr;
  const std::string said = capture_stderr([&] { record = by_packing(all[4]); });
  ASSERT_NE(record, nullptr);
  // Two attributes without field, each once; the identifier is no choice.
  EXPECT_NE(said.find("Can not parse the log"), std::string::npos) << said;
  std::size_t unknown = 0;
  for (std::size_t at = said.find("unknown attribute"); at != std::string::npos;
       at = said.find("unknown attribute", at + 1)) {
    ++unknown;
  }
  EXPECT_EQ(unknown, 3u) << said;  // managedObjectClass, notificationId, mosiSeverity
  ScopedLocalRef<> severity(env_, env_->GetObjectField(record, ids_->perceived_severity));
  EXPECT_TRUE(env_->IsSameObject(severity.get(), ids_->severities[0]));  // critical
  ScopedLocalRef<> id(env_, env_->GetObjectField(record, ids_->log_record_id));
  EXPECT_EQ(id.get(), nullptr);

  record = by_packing(all[0]);
  ASSERT_NE(record, nullptr);
  const std::string text = text_of(record);
  EXPECT_NE(text.find("logRecordId=77"), std::string::npos) << text;
  EXPECT_NE(text.find("Dec 31 23:59:59"), std::string::npos) << text;
}

}  // namespace
