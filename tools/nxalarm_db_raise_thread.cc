#include "tools/nxalarm_db_raise_thread.h"

#include <utility>

RaiseThread::RaiseThread() : thread_([this] { run(); }) {}

RaiseThread::~RaiseThread() {
  {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [this] { return !busy_; });
    ending_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

void RaiseThread::start(nxmp_mis::PreparedAlarms batch) {
  {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait(lock, [this] { return !busy_; });
    batch_ = std::move(batch);
    result_.reset();
    busy_ = true;
  }
  cv_.notify_all();
}

nxmp_mis::BatchRaiseResult RaiseThread::result(nxmp_mis::PreparedAlarms& batch) {
  std::unique_lock<std::mutex> lock(mu_);
  cv_.wait(lock, [this] { return !busy_; });
  nxmp_mis::BatchRaiseResult r = result_ ? std::move(*result_) : nxmp_mis::BatchRaiseResult{};
  result_.reset();
  if (batch_) batch = std::move(*batch_);
  batch_.reset();
  return r;
}

void RaiseThread::run() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    cv_.wait(lock, [this] { return ending_ || (busy_ && batch_ && !taken_); });
    if (ending_) return;
    taken_ = true;
    nxmp_mis::PreparedAlarms& batch = *batch_;
    lock.unlock();
    // The batch stays where it is: start() waits until busy_ is unset.
    nxmp_mis::BatchRaiseResult r = nxmp_mis::raise_prepared(batch);
    lock.lock();
    result_ = std::move(r);
    taken_ = false;
    busy_ = false;
    cv_.notify_all();
  }
}
