// Processes that start at once on a brand-new database each set up the MIS's
// journal tables; none may fail because another was doing the same.
#include "mis/mis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mis/connect_at_once.h"
#include "nxdb/schema.h"
#include "nxdb_testing/scratch_database.h"

namespace {

TEST(MisConnect, ManyAtOnceOnABrandNewDatabase) {
  constexpr int kRounds = 6;
  constexpr int kConnections = 6;
  for (int round = 0; round < kRounds; ++round) {
    nxdb_test::ScratchDatabase scratch;
    ASSERT_TRUE(scratch.ok()) << scratch.error();
    scratch.export_location();
    {
      NXDBInterface db(NXDBConnectInfo("", 1), nxdb::OpenMode::kCreate);
      std::string error;
      ASSERT_TRUE(nxdb::create_schema(db, error)) << error;
    }
    // All connect together: the journal tables do not exist yet.
    EXPECT_EQ(nxmp_mis_testing::connect_at_once(kConnections), std::vector<std::string>{}) << "round " << round;
    unsetenv("NX_ALARM_DB");
  }
}

}  // namespace
