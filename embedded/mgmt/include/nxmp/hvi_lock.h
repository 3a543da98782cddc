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

  // Held by a platform thread while it waits for the lock (event delivery).
  // The mutex is not fair: callers that take it back to back would keep
  // such a thread out for as long as they go on, so a caller entering the
  // lock from outside lets a claimant go first (for at most a few ms).
  class Claim {
   public:
    Claim();
    ~Claim();
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;
  };
};
