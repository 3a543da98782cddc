#include "jni/messages.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "jni/library_state.h"

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
        for (int n = 1; n <= 17; ++n) {
          // Compare by content: the catalog hands back its own copy.
          if (std::strcmp(nxjni::catalog_text(static_cast<nxjni::Message>(n)), nxjni::default_text(n)) != 0)
            std::exit(10 + n);
        }
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(MessageCatalog, ChangedCatalogOverridesDefaults) {
  const std::string dir = temp_dir();
  {
    std::ofstream msg(dir + "/changed.msg");
    msg << "$set 95\n3 Log unknown here\n17 Bad attribute code\n";
  }
  const std::string cmd = "gencat '" + dir + "/nx_javaAlarm.cat' '" + dir + "/changed.msg'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const std::string nlspath = dir + "/%N";
  EXPECT_EXIT(
      {
        setenv("NLSPATH", nlspath.c_str(), 1);
        nxjni::open_catalog();
        bool ok = std::strcmp(nxjni::catalog_text(nxjni::MSG_NO_LOG), "Log unknown here") == 0 &&
                  std::strcmp(nxjni::catalog_text(nxjni::MSG_ID2ATTRIBUTE), "Bad attribute code") == 0 &&
                  // A message the catalog lacks keeps its default.
                  std::strcmp(nxjni::catalog_text(nxjni::MSG_LOAD_FAILED), "Error while loading alarms") == 0;
        std::exit(ok ? 0 : 1);
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
