// Tests' help: connections of this process to the MIS made at the same
// moment, for what must hold when several processes set up at once.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "mis/mis.h"

namespace nxmp_mis_testing {

// n connections, each on its own thread, started together and kept until
// all are made; the errors of those that failed (none when all connected).
inline std::vector<std::string> connect_at_once(int n) {
  std::atomic<int> ready{0};
  std::vector<std::string> errors(n);
  std::vector<std::shared_ptr<nxmp_mis::Mis>> connected(n);
  std::vector<std::thread> threads;
  for (int i = 0; i < n; ++i) {
    threads.emplace_back([&, i] {
      ++ready;
      while (ready.load() < n) std::this_thread::yield();
      connected[i] = nxmp_mis::Mis::connect(errors[i]);
    });
  }
  for (std::thread& t : threads) t.join();
  std::vector<std::string> failed;
  for (int i = 0; i < n; ++i) {
    if (!connected[i]) failed.push_back(errors[i].empty() ? "no connection, no error" : errors[i]);
  }
  return failed;
}

}  // namespace nxmp_mis_testing
