// Wakes the journal dispatcher when this process has written entries (or
// is stopping). On PostgreSQL the dispatcher waits in poll() for the
// server's notifications; this descriptor is polled beside them, so that
// the process's own changes do not wait for the notification's trip
// through the server (another backend process to be scheduled).
#pragma once

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace nxmp_mis {

class JournalWake {
 public:
  // Without a descriptor (-1) the dispatcher is woken by notifications alone.
  JournalWake() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~JournalWake() {
    if (fd_ >= 0) close(fd_);
  }
  JournalWake(const JournalWake&) = delete;
  JournalWake& operator=(const JournalWake&) = delete;

  int fd() const { return fd_; }
  // Readable until drained; signals that come before a drain are one wake.
  void signal() const {
    const std::uint64_t one = 1;
    // Refused only when the count is full, that is when a wake is pending.
    if (fd_ >= 0 && write(fd_, &one, sizeof one) < 0) return;
  }
  // Done before the dispatcher looks for work, never after: a signal that
  // comes between the look and the wait keeps the descriptor readable.
  void drain() const {
    std::uint64_t count;
    // Refused when nothing is pending.
    if (fd_ >= 0 && read(fd_, &count, sizeof count) < 0) return;
  }

 private:
  const int fd_;
};

}  // namespace nxmp_mis
