// A thread that raises prepared batches of alarms one at a time, so that
// the thread that reads and prepares the next batch need not wait for the
// database: the two share only the batch and result handed over here.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "nxmp/mis.h"

class RaiseThread {
 public:
  RaiseThread();
  // Waits for the batch under way, then ends the thread.
  ~RaiseThread();
  RaiseThread(const RaiseThread&) = delete;
  RaiseThread& operator=(const RaiseThread&) = delete;

  // Starts raising a batch; none may be under way (take its result first).
  void start(nxmp_mis::PreparedAlarms batch);
  // Waits for the batch started last and gives its result. The batch comes
  // back with it, to be freed by the thread that made it.
  nxmp_mis::BatchRaiseResult result(nxmp_mis::PreparedAlarms& batch);

 private:
  void run();

  std::mutex mu_;
  std::condition_variable cv_;
  std::optional<nxmp_mis::PreparedAlarms> batch_;  // handed over
  bool taken_ = false;                             // batch_ is being raised
  std::optional<nxmp_mis::BatchRaiseResult> result_;
  bool busy_ = false;  // a batch is handed over or being raised
  bool ending_ = false;
  std::thread thread_;  // last: it runs on the members above
};
