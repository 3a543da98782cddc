#include "jni/batch.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST(BatchRegistry, StopBeforeStartLeavesAStoppedBatchTheRetrievalFinds) {
  Batch::request_stop(7);
  auto b = Batch::find_or_create(7);
  EXPECT_TRUE(b->stopped());
  Batch::remove(7);
  EXPECT_EQ(Batch::find(7), nullptr);
}

TEST(BatchRegistry, ReapRemovesOnlyOldStoppedEmptyBatchesInTenthSeconds) {
  auto running = Batch::find_or_create(1);
  Batch::request_stop(2);
  auto stopped = Batch::find(2);
  ASSERT_NE(stopped, nullptr);
  const std::time_t old_enough = stopped->created + Batch::TIMEOUT + 1;
  const std::time_t tenth = old_enough + (10 - old_enough % 10) % 10;

  Batch::reap_at(tenth + 1);  // not a multiple of 10: nothing happens
  EXPECT_NE(Batch::find(2), nullptr);
  Batch::reap_at(stopped->created + 10 - stopped->created % 10);  // too young
  EXPECT_NE(Batch::find(2), nullptr);
  Batch::reap_at(tenth);
  EXPECT_EQ(Batch::find(2), nullptr);
  EXPECT_NE(Batch::find(1), nullptr) << "a running batch is never reaped";
  Batch::remove(1);
}

TEST(BatchRegistry, StopRequestsFromManyThreadsWhileRetrievalsComeAndGo) {
  constexpr int kIds = 200;
  std::thread stopper([] {
    for (int i = 0; i < kIds; ++i) Batch::request_stop(1000 + i);
  });
  std::thread retriever([] {
    for (int i = 0; i < kIds; ++i) {
      auto b = Batch::find_or_create(1000 + i);
      (void)b->stopped();
      Batch::remove(1000 + i);
    }
  });
  stopper.join();
  retriever.join();
  // Whatever interleaving happened, every id left behind is stopped.
  for (int i = 0; i < kIds; ++i) {
    if (auto b = Batch::find(1000 + i)) {
      EXPECT_TRUE(b->stopped());
      Batch::remove(1000 + i);
    }
  }
  EXPECT_EQ(Batch::size(), 0u);
}
