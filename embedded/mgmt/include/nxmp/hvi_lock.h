// HviLock: scoped hold of the platform's one process-wide lock.
//
// The lock is recursive: a handler running on the platform thread, or Java
// code called back during a batched read, may enter the library again.
#pragma once

#include <mutex>

class HviLock {
 public:
  HviLock();
  ~HviLock();
  HviLock(const HviLock&) = delete;
  HviLock& operator=(const HviLock&) = delete;

  // The mutex itself, for code that must wait on it with a condition.
  static std::recursive_mutex& mutex();
};
