#include "nxmp/hvi_lock.h"

std::recursive_mutex& HviLock::mutex() {
  // Never destroyed: platform threads may still take it while the process exits.
  static auto* m = new std::recursive_mutex;
  return *m;
}

HviLock::HviLock() { mutex().lock(); }
HviLock::~HviLock() { mutex().unlock(); }
