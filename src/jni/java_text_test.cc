// Texts from Java strings: standard UTF-8 both ways, refusals and bounds,
// against a real JVM started in this process.
#include "jni/java_text.h"

#include <gtest/gtest.h>
#include <jni.h>

#include <string>
#include <vector>

#include "jni/java_strings.h"
#include "jni/scoped_jni.h"
#include "jni/test_jvm.h"
#include "query/filter_criteria.h"

namespace {

using nxjni::Utf16Refusal;

std::string utf8(const std::u16string& units, Utf16Refusal* refusal = nullptr) {
  std::string out;
  const Utf16Refusal r =
      nxjni::append_utf16_as_utf8(out, reinterpret_cast<const jchar*>(units.data()), units.size());
  if (refusal) *refusal = r;
  return out;
}

TEST(Utf16ToUtf8, EveryEncodedLengthIsStandardUtf8) {
  EXPECT_EQ(utf8(u"fan \"x\" \\ 'y'"), "fan \"x\" \\ 'y'");
  EXPECT_EQ(utf8(u"\u00e9\u20ac"), "\xC3\xA9\xE2\x82\xAC");
  // Outside the Basic Multilingual Plane: one 4-byte sequence, never two
  // 3-byte surrogate halves (the VM's modified UTF-8).
  EXPECT_EQ(utf8(u"fan \U0001F600"), "fan \xF0\x9F\x98\x80");
  EXPECT_EQ(utf8(u"\U0010FFFF\U00010000"), "\xF4\x8F\xBF\xBF\xF0\x90\x80\x80");
  EXPECT_EQ(utf8(u""), "");
}

TEST(Utf16ToUtf8, NulAndUnpairedSurrogatesAreRefused) {
  Utf16Refusal r = Utf16Refusal::none;
  utf8(std::u16string(u"a\0b", 3), &r);
  EXPECT_EQ(r, Utf16Refusal::nul);
  const std::u16string lone[] = {
      {u'a', char16_t(0xD83D)},                 // high at the end
      {char16_t(0xD83D), u'x'},                 // high before no low
      {char16_t(0xDE00), u'x'},                 // low first
      {char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDE00)},  // two highs
  };
  for (const auto& units : lone) {
    r = Utf16Refusal::none;
    utf8(units, &r);
    EXPECT_EQ(r, Utf16Refusal::unpaired_surrogate) << units.size();
  }
}

class JavaTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = jvm_env();
    ASSERT_NE(env_, nullptr);
  }

  jstring make(const std::u16string& units) {
    return env_->NewString(reinterpret_cast<const jchar*>(units.data()), static_cast<jsize>(units.size()));
  }

  // The pending exception's class name and message, cleared.
  std::string take_exception() {
    ScopedLocalRef<jthrowable> thrown(env_, env_->ExceptionOccurred());
    if (!thrown) return "(none)";
    env_->ExceptionClear();
    ScopedLocalRef<jclass> cls(env_, env_->GetObjectClass(thrown.get()));
    ScopedLocalRef<jclass> class_class(env_, env_->GetObjectClass(cls.get()));
    jmethodID get_name = env_->GetMethodID(class_class.get(), "getName", "()Ljava/lang/String;");
    ScopedLocalRef<jclass> throwable(env_, env_->FindClass("java/lang/Throwable"));
    jmethodID get_message = env_->GetMethodID(throwable.get(), "getMessage", "()Ljava/lang/String;");
    ScopedLocalRef<jstring> name(env_, static_cast<jstring>(env_->CallObjectMethod(cls.get(), get_name)));
    ScopedLocalRef<jstring> message(env_, static_cast<jstring>(env_->CallObjectMethod(thrown.get(), get_message)));
    return chars(name.get()) + ": " + chars(message.get());
  }

  std::string chars(jstring s) {
    const char* c = env_->GetStringUTFChars(s, nullptr);
    std::string out(c);
    env_->ReleaseStringUTFChars(s, c);
    return out;
  }

  std::u16string units_of(jstring s) {
    std::u16string out(static_cast<std::size_t>(env_->GetStringLength(s)), u'\0');
    env_->GetStringRegion(s, 0, static_cast<jsize>(out.size()), reinterpret_cast<jchar*>(out.data()));
    return out;
  }

  JNIEnv* env_ = nullptr;
};

TEST_F(JavaTextTest, TextsComeInAsUtf8AndGoBackAsTheSameString) {
  const std::u16string samples[] = {u"fan \U0001F600", u"\"urgent\"", u"\" OR \"\"=\"", u"a\\b\\\\",
                                    u"caf\u00e9 \u20ac \U0010FFFF", u""};
  for (const auto& units : samples) {
    ScopedLocalRef<jstring> s(env_, make(units));
    std::string text = "unchanged";
    ASSERT_TRUE(nxjni::java_text(env_, s.get(), nxjni::kOperatorText, text)) << take_exception();
    EXPECT_EQ(text, utf8(units));
    ScopedLocalRef<jstring> back(env_, nxjni::new_java_string(env_, text));
    ASSERT_TRUE(back);
    EXPECT_TRUE(units_of(back.get()) == units);
    // The packed record path writes the bytes Java's own UTF-8 decoder reads.
    std::string packed;
    nxjni::append_java_utf8(packed, text);
    EXPECT_EQ(packed, text);
  }
}

TEST_F(JavaTextTest, RefusalsRaiseAlarmInputExceptionAndLeaveTheTextAlone) {
  struct Case {
    std::u16string units;
    const char* reason;
  } cases[] = {
      {std::u16string(u"ack\0more", 8), "holds a NUL character, which no stored text keeps"},
      {std::u16string{u'x', char16_t(0xD83D)}, "holds an unpaired surrogate, a half character that has no UTF-8 form"},
      {std::u16string{char16_t(0xDE00), u'x'}, "holds an unpaired surrogate, a half character that has no UTF-8 form"},
  };
  for (const auto& c : cases) {
    ScopedLocalRef<jstring> s(env_, make(c.units));
    std::string text = "unchanged";
    EXPECT_FALSE(nxjni::java_text(env_, s.get(), nxjni::kOperatorText, text));
    EXPECT_EQ(take_exception(),
              std::string("com.qel.nx.api.alarm.AlarmInputException: Refused: an ack, clear or display text ") +
                  c.reason);
    EXPECT_EQ(text, "unchanged");
  }
}

TEST_F(JavaTextTest, BoundsCountUtf8BytesAndNameTheBound) {
  const nxjni::TextBound bound{nxjni::MSG_KIND_TEXT, 12};
  std::string text;
  ScopedLocalRef<jstring> fits(env_, make(u"\u20ac\u20ac\u20ac\u20ac"));  // 12 bytes
  EXPECT_TRUE(nxjni::java_text(env_, fits.get(), bound, text)) << take_exception();
  EXPECT_EQ(text.size(), 12u);

  // Five characters, but 13 bytes.
  ScopedLocalRef<jstring> wide(env_, make(u"\u20ac\u20ac\u20ac\u20acx"));
  text = "unchanged";
  EXPECT_FALSE(nxjni::java_text(env_, wide.get(), bound, text));
  EXPECT_EQ(take_exception(),
            "com.qel.nx.api.alarm.AlarmInputException: Refused: a text of 13 bytes (UTF-8) is longer than "
            "the 12 bytes allowed");
  EXPECT_EQ(text, "unchanged");

  // More characters than the bound has bytes: refused before any copy.
  ScopedLocalRef<jstring> many(env_, make(std::u16string(13, u'x')));
  EXPECT_FALSE(nxjni::java_text(env_, many.get(), bound, text));
  EXPECT_NE(take_exception().find("a text of 13 bytes (UTF-8) is longer than the 12 bytes allowed (or more)"),
            std::string::npos);
}

TEST_F(JavaTextTest, OperatorTextsWellAboveOneMegabyteAreTaken) {
  std::u16string units;
  for (int i = 0; i < 300000; ++i) units += u"\U0001F600\"";  // 1.5 MB of UTF-8
  ScopedLocalRef<jstring> s(env_, make(units));
  std::string text;
  ASSERT_TRUE(nxjni::java_text(env_, s.get(), nxjni::kOperatorText, text)) << take_exception();
  EXPECT_EQ(text.size(), 1500000u);
  EXPECT_EQ(text.substr(0, 5), "\xF0\x9F\x98\x80\"");
}

TEST_F(JavaTextTest, FilterPatternsAreHeldToWhatTheDatabaseMatches) {
  std::string text;
  // 49 999 characters and the leading '%': exactly the database's limit.
  ScopedLocalRef<jstring> fits(env_, make(std::u16string(kMaxLikePatternBytes - 1, u'x')));
  EXPECT_TRUE(nxjni::filter_value_text(env_, "eventType", fits.get(), text)) << take_exception();
  // Each '_' is escaped: 25 000 of them make 50 001 bytes.
  ScopedLocalRef<jstring> escaped(env_, make(std::u16string(25000, u'_')));
  EXPECT_FALSE(nxjni::filter_value_text(env_, "managedObjectClass", escaped.get(), text));
  EXPECT_EQ(take_exception(),
            "com.qel.nx.api.alarm.AlarmInputException: Refused: a filter pattern on managedObjectClass makes a "
            "LIKE pattern of 50001 bytes (UTF-8, each '_' escaped), longer than the 50000 bytes the database "
            "matches");
  // The same text compared as it is, on a text attribute, is no pattern.
  EXPECT_TRUE(nxjni::filter_value_text(env_, "additionalText", escaped.get(), text)) << take_exception();
  EXPECT_EQ(text.size(), 25000u);
}

}  // namespace
