// Lookup helpers against a real JVM started in this process.
#include "jni/java_lookup.h"

#include <gtest/gtest.h>
#include <jni.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>

#include "jni/java_ids.h"
#include "jni/test_jvm.h"

// The JVM started here handles SIGSEGV itself and keeps its allocations for
// the life of the process: a sanitizer build must leave both alone (one
// definition for the whole test binary).
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
  return "detect_leaks=0:handle_segv=0:allow_user_segv_handler=1";
}

namespace {

int count_location_lines(const std::string& text) {
  static const std::regex line("^\\.\\./(alarmApi|convert) [0-9]+$");
  std::istringstream in(text);
  int count = 0;
  for (std::string l; std::getline(in, l);) count += std::regex_match(l, line) ? 1 : 0;
  return count;
}

class JavaLookup : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(env, nullptr); }
  JNIEnv* env = jvm_env();
};

}  // namespace

TEST_F(JavaLookup, FailedClassLookupWritesOneLocationLineAndClearsTheError) {
  jclass cls = reinterpret_cast<jclass>(1);
  const std::string err = capture_stderr([&] { cls = find_class(env, "com/qel/nx/api/alarm/NoSuchClass"); });
  EXPECT_EQ(cls, nullptr);
  EXPECT_FALSE(env->ExceptionCheck());
  EXPECT_EQ(count_location_lines(err), 1) << err;
  EXPECT_NE(err.find("NoClassDefFoundError"), std::string::npos) << "the error is described";
}

TEST_F(JavaLookup, FoundClassIsAGlobalReference) {
  jclass cls = find_class(env, "java/lang/String");
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(env->GetObjectRefType(cls), JNIGlobalRefType);
  env->DeleteGlobalRef(cls);
}

TEST_F(JavaLookup, MissingMembersGiveNullWithoutPendingException) {
  jclass cls = find_class(env, "java/lang/String");
  ASSERT_NE(cls, nullptr);
  jmethodID m = reinterpret_cast<jmethodID>(1);
  jfieldID f = reinterpret_cast<jfieldID>(1);
  const std::string err = capture_stderr([&] {
    m = get_method_id(env, cls, "length", "()J", 0);  // wrong signature
    f = get_field_id(env, cls, "CASE_INSENSITIVE_ORDER", "I", 1);
  });
  EXPECT_EQ(m, nullptr);
  EXPECT_EQ(f, nullptr);
  EXPECT_FALSE(env->ExceptionCheck());
  EXPECT_EQ(count_location_lines(err), 2) << err;
  // A static lookup with the right flag succeeds.
  EXPECT_NE(get_method_id(env, cls, "valueOf", "(I)Ljava/lang/String;", 1), nullptr);
  // A null class is refused without touching the VM.
  EXPECT_EQ(get_method_id(env, nullptr, "x", "()V", 0), nullptr);
  env->DeleteGlobalRef(cls);
}

TEST_F(JavaLookup, CheckForExceptionDescribesAndClears) {
  EXPECT_EQ(checkForException(env), 0);
  jclass rte = env->FindClass("java/lang/RuntimeException");
  ASSERT_NE(rte, nullptr);
  env->ThrowNew(rte, "boom");
  int result = 0;
  const std::string err = capture_stderr([&] { result = checkForException(env); });
  EXPECT_EQ(result, 1);
  EXPECT_FALSE(env->ExceptionCheck());
  EXPECT_NE(err.find("boom"), std::string::npos);
  env->DeleteLocalRef(rte);
}

TEST_F(JavaLookup, AlarmExceptionCarriesTheCatalogText) {
  nxjni::throw_alarm_exception(env, nxjni::MSG_LOAD_FAILED);
  jthrowable t = env->ExceptionOccurred();
  ASSERT_NE(t, nullptr);
  env->ExceptionClear();
  jclass cls = env->GetObjectClass(t);
  jmethodID get_message = env->GetMethodID(cls, "getMessage", "()Ljava/lang/String;");
  auto msg = static_cast<jstring>(env->CallObjectMethod(t, get_message));
  const char* chars = env->GetStringUTFChars(msg, nullptr);
  EXPECT_STREQ(chars, "Error while loading alarms");
  env->ReleaseStringUTFChars(msg, chars);
  jclass expected = env->FindClass("com/qel/nx/api/alarm/AlarmException");
  EXPECT_TRUE(env->IsInstanceOf(t, expected));
}
