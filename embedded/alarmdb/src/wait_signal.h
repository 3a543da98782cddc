// A connection waiting for a SQLite database's write lock says so to the
// one holding it: while it waits it holds a shared lock on byte 0 of the
// side file "<database>-wait" (an open-file-description lock, so that the
// connections of one process are told apart). A writer that commits in
// batches looks at the byte between its changes and commits early when
// someone waits, instead of keeping the waiter out for a whole batch.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

namespace nxdb {

class WaitSignal {
 public:
  // path: the database file; empty gives a signal that does nothing (a
  // database in memory). A side file that cannot be opened (a read-only
  // folder) also leaves the signal doing nothing.
  explicit WaitSignal(std::string path);
  ~WaitSignal();
  WaitSignal(const WaitSignal&) = delete;
  WaitSignal& operator=(const WaitSignal&) = delete;

  // This connection waits for a lock / no longer waits.
  void raise();
  void lower() {
    if (raised_.load(std::memory_order_relaxed)) drop();
  }
  // Whether another connection says it waits.
  bool others_wait();

 private:
  bool open();
  void drop();

  // A batch writer looks at its connection's signal while another thread
  // may wait on the same connection: the state has a guard of its own.
  std::mutex mu_;
  std::string path_;
  int fd_ = -1;
  bool tried_ = false;
  std::atomic<bool> raised_{false};
};

}  // namespace nxdb
