#include "nxmp/hvi_lock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
std::atomic<int> g_claims{0};
// How deep the calling thread is inside HviLock objects: only an outermost
// entry gives way, never one made while the lock is already held.
thread_local int t_depth = 0;
// Bounded, so that a claimant that is slow to take the lock (or code that
// holds the mutex without an HviLock) costs a caller little.
constexpr auto kGiveWayAtMost = std::chrono::milliseconds(20);
}  // namespace

std::recursive_mutex& HviLock::mutex() {
  // Never destroyed: platform threads may still take it while the process exits.
  static auto* m = new std::recursive_mutex;
  return *m;
}

HviLock::HviLock() {
  if (t_depth == 0 && g_claims.load(std::memory_order_acquire) > 0) {
    const auto until = std::chrono::steady_clock::now() + kGiveWayAtMost;
    while (g_claims.load(std::memory_order_acquire) > 0 && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
  }
  mutex().lock();
  ++t_depth;
}

HviLock::~HviLock() {
  --t_depth;
  mutex().unlock();
}

HviLock::Claim::Claim() { g_claims.fetch_add(1, std::memory_order_acq_rel); }
HviLock::Claim::~Claim() { g_claims.fetch_sub(1, std::memory_order_acq_rel); }
