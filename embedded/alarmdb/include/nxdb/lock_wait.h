// How long a connection waits for another session's lock, and the failures
// a caller should be able to name after the fact.
//
// Every connection the engines open waits lock_wait_seconds() for a lock
// (the installation setting NX_LOG_MPA_DEADLOCK_TIMEOUT, default 120 s). A
// wait that runs out fails its statement with busy_message(); a change
// refused because the database is read-only fails with a read-only message.
// Both are also noted here, process-wide, because the layers above often
// report only that something failed.
#pragma once

#include <cstdint>
#include <string>

namespace nxdb {

constexpr int kDefaultLockWaitSeconds = 120;

// The setting as it is now; an unusable value gives the default (and one
// diagnostic line).
int lock_wait_seconds();

// "the alarm database is busy: a lock was held for more than N s".
std::string busy_message(int seconds);
// "the alarm database is read-only: changes cannot be stored (detail)".
std::string read_only_message(const std::string& detail);

// Notes a failure that says why an operation could not be done.
void note_failure(const std::string& message);
// Moves with every note_failure.
std::uint64_t failure_serial();
// The last failure noted after serial was read, or "" when there was none.
std::string failure_since(std::uint64_t serial);

}  // namespace nxdb
