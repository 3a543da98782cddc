#include "jni/packed_stream.h"

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "jni/record_packer.h"

namespace nxjni {
namespace {

// Runs of about this many bytes: large enough that handing one over costs
// nothing per record, small enough to stay in cache.
constexpr std::size_t kRunBytes = 64 * 1024;
// Runs packed ahead of the calling thread: bounds memory whatever the log.
constexpr std::size_t kRunsAhead = 4;

class RunQueue {
 public:
  // Blocks while the queue is full; false when the consumer has gone.
  bool push(PackedRun run) {
    std::unique_lock<std::mutex> lock(mu_);
    space_.wait(lock, [&] { return runs_.size() < kRunsAhead || cancelled_; });
    if (cancelled_) return false;
    runs_.push_back(std::move(run));
    ready_.notify_one();
    return true;
  }
  void finish(bool ok) {
    std::lock_guard<std::mutex> lock(mu_);
    done_ = true;
    ok_ = ok;
    ready_.notify_one();
  }
  // False when the worker has finished and every run was taken.
  bool pop(PackedRun& run) {
    std::unique_lock<std::mutex> lock(mu_);
    ready_.wait(lock, [&] { return !runs_.empty() || done_; });
    if (runs_.empty()) return false;
    run = std::move(runs_.front());
    runs_.pop_front();
    space_.notify_one();
    return true;
  }
  // Buffers of consumed runs, kept for the packer: fresh ones of this size
  // would come straight from the kernel, page by page.
  void recycle(std::string buffer) {
    std::lock_guard<std::mutex> lock(mu_);
    if (spare_.size() < kRunsAhead + 1) spare_.push_back(std::move(buffer));
  }
  std::string spare() {
    std::lock_guard<std::mutex> lock(mu_);
    if (spare_.empty()) {
      std::string fresh;
      fresh.reserve(2 * kRunBytes);
      return fresh;
    }
    std::string buffer = std::move(spare_.back());
    spare_.pop_back();
    return buffer;
  }
  void cancel() {
    std::lock_guard<std::mutex> lock(mu_);
    cancelled_ = true;
    runs_.clear();
    space_.notify_one();
  }
  bool cancelled() {
    std::lock_guard<std::mutex> lock(mu_);
    return cancelled_;
  }
  bool ok() {
    std::lock_guard<std::mutex> lock(mu_);
    return ok_;
  }

 private:
  std::mutex mu_;
  std::condition_variable ready_;
  std::condition_variable space_;
  std::deque<PackedRun> runs_;
  std::vector<std::string> spare_;
  bool done_ = false;
  bool ok_ = false;
  bool cancelled_ = false;
};

}  // namespace

bool stream_packed(const FieldRead& read, std::size_t batch_limit, const std::function<bool()>& stopped,
                   const std::function<bool(PackedRun&)>& consume) {
  RunQueue queue;
  std::thread worker([&] {
    pthread_setname_np(pthread_self(), "nx-read-pack");  // for top -H, perf, gdb
    RecordPacker packer;
    packer.take(queue.spare());
    std::size_t in_batch = 0;
    bool gone = false;  // the consumer stopped taking runs
    const auto ship = [&](bool batch_end) {
      PackedRun run;
      run.records = packer.records();
      run.bytes = packer.take(queue.spare());
      run.batch_end = batch_end;
      gone = !queue.push(std::move(run));
      return !gone;
    };
    const auto sink = [&](const RecordFields& fields) {
      if (gone || (stopped && stopped())) return false;
      if (batch_limit != kNoBatches && in_batch >= batch_limit) {
        if (!ship(true)) return false;
        in_batch = 0;
      }
      packer.add(fields);
      ++in_batch;
      return packer.bytes().size() < kRunBytes || ship(false);
    };
    bool ok = false;
    try {
      ok = read(sink);
      if (ok && !gone && packer.records() > 0) ship(false);
    } catch (...) {
      ok = false;  // a read that threw (out of memory) has failed
    }
    queue.finish(ok);
  });
  // Whatever way this thread leaves, the worker is stopped and waited for.
  struct Joiner {
    RunQueue& queue;
    std::thread& worker;
    ~Joiner() {
      if (!worker.joinable()) return;
      queue.cancel();
      worker.join();
    }
  } joiner{queue, worker};
  PackedRun run;
  while (queue.pop(run)) {
    if (!consume(run)) break;
    queue.recycle(std::move(run.bytes));
  }
  queue.cancel();
  worker.join();  // the read's result is final only now
  worker = std::thread();
  return queue.ok();
}

}  // namespace nxjni
