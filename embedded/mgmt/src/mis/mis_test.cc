// Processes that start at once on a brand-new database each set up the MIS's
// journal tables; none may fail because another was doing the same.
#include "mis/mis.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

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
    std::atomic<int> ready{0};
    std::vector<std::string> errors(kConnections);
    std::vector<std::shared_ptr<nxmp_mis::Mis>> connected(kConnections);
    std::vector<std::thread> threads;
    for (int i = 0; i < kConnections; ++i) {
      threads.emplace_back([&, i] {
        ++ready;
        while (ready.load() < kConnections) std::this_thread::yield();
        connected[i] = nxmp_mis::Mis::connect(errors[i]);
      });
    }
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < kConnections; ++i) {
      EXPECT_NE(connected[i], nullptr) << "round " << round << ": " << errors[i];
    }
    connected.clear();
    unsetenv("NX_ALARM_DB");
  }
}

}  // namespace
