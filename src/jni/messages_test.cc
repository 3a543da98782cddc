#include "jni/messages.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "jni/java_types.h"
#include "jni/library_state.h"
#include "jni/scoped_jni.h"
#include "test_jvm.h"

// Each case opens the catalog in a child process: the catalog is opened
// once per process, as in the library.
namespace {

std::string temp_dir() {
  const char* base = std::getenv("NX_TEST_TMP");
  std::string root = base ? base : "/tmp";
  std::string cmd = "mkdir -p '" + root + "'";
  if (std::system(cmd.c_str()) != 0) return "/tmp";
  std::string tmpl = root + "/catalog-XXXXXX";
  char* dir = mkdtemp(tmpl.data());
  return dir ? std::string(dir) : std::string("/tmp");
}

}  // namespace

TEST(MessageCatalog, ShippedCatalogHoldsTheDefaultTexts) {
  EXPECT_EXIT(
      {
        setenv("NLSPATH", NX_BUILD_DIR "/%N", 1);
        nxjni::open_catalog();
        if (alarm_catd == reinterpret_cast<nl_catd>(-1)) std::exit(2);
        // A sentinel shows a number the catalog lacks; the number after the
        // last shows an entry the code has no text for.
        static const char kMissing[] = "(missing)";
        for (int n = 1; n <= nxjni::kLastMessage + 1; ++n) {
          const char* text = catgets(alarm_catd, nxjni::kCatalogSet, n, kMissing);
          const char* expected = n <= nxjni::kLastMessage ? nxjni::default_text(n) : kMissing;
          // Compare by content: the catalog hands back its own copy.
          if (expected == nullptr || std::strcmp(text, expected) != 0) std::exit(10 + n);
        }
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(MessageCatalog, MissingCatalogLeavesDefaults) {
  const std::string dir = temp_dir();  // holds no catalog
  const std::string nlspath = dir + "/%N";
  EXPECT_EXIT(
      {
        setenv("NLSPATH", nlspath.c_str(), 1);
        nxjni::open_catalog();
        for (int n = 1; n <= 17; ++n) {
          if (std::strcmp(nxjni::catalog_text(static_cast<nxjni::Message>(n)), nxjni::default_text(n)) != 0)
            std::exit(1);
        }
        std::exit(std::strcmp(nxjni::catalog_text(nxjni::MSG_ALLOC_ALARM_FILTER),
                              "Failed to allocated AlarmFilter") == 0 ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(MessageCatalog, ConversionsAreListedInOrder) {
  EXPECT_EQ(nxjni::conversions_of("Refused: %s of %zu bytes, 100%% of %zu"), "%s%zu%zu");
  EXPECT_EQ(nxjni::conversions_of("no parts"), "");
  // Forms whose arguments cannot be checked against the default's.
  EXPECT_EQ(nxjni::conversions_of("%2$s then %1$s"), "?");
  EXPECT_EQ(nxjni::conversions_of("%*d"), "?");
  EXPECT_EQ(nxjni::conversions_of("%n"), "?");
  EXPECT_EQ(nxjni::conversions_of("cut off %"), "?");
}

namespace {
// A catalog in a new folder holding the given source lines of set 95;
// returns the NLSPATH that finds it.
std::string make_catalog(const std::string& lines) {
  const std::string dir = temp_dir();
  {
    std::ofstream msg(dir + "/changed.msg");
    msg << "$set 95\n" << lines;
  }
  const std::string cmd = "gencat '" + dir + "/nx_javaAlarm.cat' '" + dir + "/changed.msg'";
  return std::system(cmd.c_str()) == 0 ? dir + "/%N" : std::string();
}
}  // namespace

TEST(MessageCatalog, ChangedCatalogOverridesDefaultsWhereTheirPartsMatch) {
  const std::string nlspath = make_catalog(
      "3 Log unknown here\n"
      "17 Bad attribute code\n"
      "21 %s n'est pas %s\n"
      "23 Refused: %d bytes\n"  // wrong conversions: the default is used
      "31 un nom de journal\n");
  ASSERT_FALSE(nlspath.empty());
  EXPECT_EXIT(
      {
        setenv("NLSPATH", nlspath.c_str(), 1);
        nxjni::open_catalog();
        const bool plain = std::strcmp(nxjni::catalog_text(nxjni::MSG_NO_LOG), "Log unknown here") == 0 &&
                           std::strcmp(nxjni::catalog_text(nxjni::MSG_ID2ATTRIBUTE), "Bad attribute code") == 0 &&
                           // A message the catalog lacks keeps its default.
                           std::strcmp(nxjni::catalog_text(nxjni::MSG_LOAD_FAILED), "Error while loading alarms") == 0;
        const bool changed = nxjni::catalog_format(nxjni::MSG_WRONG_TYPE, "log name", "a LogName") ==
                             "log name n'est pas a LogName";
        const bool fell_back =
            nxjni::catalog_format(nxjni::MSG_TEXT_TOO_LONG, nxjni::catalog_text(nxjni::MSG_KIND_LOG_NAME),
                                  std::size_t{70000}, std::size_t{65534}) ==
            "Refused: un nom de journal of 70000 bytes (UTF-8) is longer than the 65534 bytes allowed";
        std::exit(!plain ? 1 : !changed ? 2 : fell_back ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(MessageCatalog, JavaSeesTheCatalogTextOfARefusal) {
  const std::string nlspath = make_catalog("21 %s n'est pas %s\n");
  ASSERT_FALSE(nlspath.empty());
  // A fresh process (not a fork) for the VM this test starts.
  const std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("NLSPATH", nlspath.c_str(), 1);
        nxjni::open_catalog();
        JNIEnv* env = jvm_env();
        if (!env) std::exit(2);
        ScopedLocalRef<jstring> text(env, env->NewStringUTF("not bytes"));
        if (nxjni::is_java_type(env, text.get(), nxjni::java_ids().byte_array, "hash input", "a byte[]")) std::exit(3);
        ScopedLocalRef<jthrowable> thrown(env, env->ExceptionOccurred());
        env->ExceptionClear();
        if (!thrown || !env->IsInstanceOf(thrown.get(), nxjni::java_ids().alarm_exception)) std::exit(4);
        ScopedLocalRef<jclass> cls(env, env->GetObjectClass(thrown.get()));
        jmethodID get_message = env->GetMethodID(cls.get(), "getMessage", "()Ljava/lang/String;");
        ScopedLocalRef<jstring> message(env, static_cast<jstring>(env->CallObjectMethod(thrown.get(), get_message)));
        if (!message) std::exit(5);
        const char* chars = env->GetStringUTFChars(message.get(), nullptr);
        const bool ok = std::strcmp(chars, "hash input n'est pas a byte[]") == 0;
        if (!ok) std::fprintf(stderr, "message: %s\n", chars);
        env->ReleaseStringUTFChars(message.get(), chars);
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  GTEST_FLAG_SET(death_test_style, style);
}
