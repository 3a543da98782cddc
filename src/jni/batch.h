// The registry of batched retrievals, keyed by batch id. A retrieval and the
// request that stops it run on different threads: the retrieval holds the
// process-wide lock throughout, so the registry has a guard of its own and
// the state is atomic.
#pragma once

#include <atomic>
#include <cstddef>
#include <ctime>
#include <memory>

class Batch {
 public:
  enum State { RUNNING = 0, STOPPED = 1 };
  static constexpr long TIMEOUT = 900;  // seconds before a stopped, empty batch is reaped

  Batch();

  // Records of the batch being filled, not yet sent.
  std::size_t pending = 0;
  std::atomic<int> state{RUNNING};
  const std::time_t created;

  bool stopped() const { return state.load(std::memory_order_acquire) == STOPPED; }

  // The batch of an id, created (running) when absent.
  static std::shared_ptr<Batch> find_or_create(int batch_id);
  static std::shared_ptr<Batch> find(int batch_id);
  // Marks the batch of an id stopped, creating it when no retrieval has started.
  static void request_stop(int batch_id);
  static void remove(int batch_id);
  // Removes stopped, empty batches older than TIMEOUT; only in seconds
  // divisible by 10, so most calls cost one time() call.
  static void reap();
  static void reap_at(std::time_t now);
  static std::size_t size();
};
