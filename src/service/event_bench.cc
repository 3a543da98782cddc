// Event delivery: from a state change stored on the MIS to the service's
// change callback. Reports notifications per second and the median latency.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "model/alarm_record.h"
#include "service/alarm_service.h"
#include "service/test_mis_env.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Arrivals {
  std::mutex mu;
  std::condition_variable cv;
  long seen = 0;
  Clock::time_point last;
  static void changed(void* self, void*) {
    auto* a = static_cast<Arrivals*>(self);
    std::lock_guard<std::mutex> lock(a->mu);
    ++a->seen;
    a->last = Clock::now();
    a->cv.notify_all();
  }
};

void BM_StoreToCallback(benchmark::State& state) {
  TestMisEnv env({"AlarmLog"});
  if (!env.ok() || !TestMisEnv::raise("AlarmLog", "major").ok) {
    state.SkipWithError("no database");
    return;
  }
  Arrivals arrivals;
  Callback cb(&Arrivals::changed, &arrivals);
  AlarmService service;
  service.register_change_logrecord_callback(&cb);
  service.add_log("/systemId=name:\"alpha\"/logId=string:\"AlarmLog\"");
  std::vector<double> latencies;
  bool acked = false;
  for (auto _ : state) {
    acked = !acked;
    long before;
    {
      std::lock_guard<std::mutex> lock(arrivals.mu);
      before = arrivals.seen;
    }
    const auto start = Clock::now();
    if (!service.change_state(acked ? StateChange::ack : StateChange::unack, "alpha", "AlarmLog", {"1"}, {})
             .empty()) {
      state.SkipWithError("store failed");
      break;
    }
    std::unique_lock<std::mutex> lock(arrivals.mu);
    if (!arrivals.cv.wait_for(lock, std::chrono::seconds(5), [&] { return arrivals.seen > before; })) {
      state.SkipWithError("notification lost");
      break;
    }
    latencies.push_back(std::chrono::duration<double, std::micro>(arrivals.last - start).count());
  }
  if (!latencies.empty()) {
    std::nth_element(latencies.begin(), latencies.begin() + latencies.size() / 2, latencies.end());
    state.counters["median_latency_us"] = latencies[latencies.size() / 2];
  }
  state.counters["notifications_per_s"] =
      benchmark::Counter(static_cast<double>(latencies.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StoreToCallback)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
