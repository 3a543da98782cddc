#include "nxdb/lock_wait.h"

#include <atomic>
#include <cctype>
#include <mutex>

#include "nxmp/diag.h"
#include "nxmp/installation.h"

namespace nxdb {
namespace {

// Never destroyed: connections of threads still running at exit may fail.
struct Noted {
  std::mutex mu;
  std::string message;
};
Noted& noted() {
  static auto* n = new Noted;
  return *n;
}
std::atomic<std::uint64_t> g_serial{0};

}  // namespace

int lock_wait_seconds() {
  const char* text = Installation::getenv("NX_LOG_MPA_DEADLOCK_TIMEOUT");
  if (text == nullptr) return kDefaultLockWaitSeconds;
  long long seconds = 0;
  bool ok = *text != '\0';
  for (const char* c = text; ok && *c != '\0'; ++c) {
    ok = std::isdigit(static_cast<unsigned char>(*c)) != 0;
    // Engines count milliseconds in an int.
    if (ok && (seconds = seconds * 10 + (*c - '0')) > 2000000) seconds = 2000000;
  }
  if (!ok) {
    static std::once_flag once;
    std::call_once(once, [text] {
      std::fprintf(pfd, "NX_LOG_MPA_DEADLOCK_TIMEOUT is not a whole number of seconds (%s); waiting %d s for locks\n",
                   text, kDefaultLockWaitSeconds);
      std::fflush(pfd);
    });
    return kDefaultLockWaitSeconds;
  }
  return static_cast<int>(seconds);
}

std::string busy_message(int seconds) {
  return "the alarm database is busy: a lock was held for more than " + std::to_string(seconds) + " s";
}

std::string read_only_message(const std::string& detail) {
  return "the alarm database is read-only: changes cannot be stored" +
         (detail.empty() ? std::string() : " (" + detail + ")");
}

void note_failure(const std::string& message) {
  std::lock_guard<std::mutex> lock(noted().mu);
  noted().message = message;
  g_serial.fetch_add(1, std::memory_order_acq_rel);
}

std::uint64_t failure_serial() { return g_serial.load(std::memory_order_acquire); }

std::string failure_since(std::uint64_t serial) {
  std::lock_guard<std::mutex> lock(noted().mu);
  return g_serial.load(std::memory_order_acquire) != serial ? noted().message : std::string();
}

}  // namespace nxdb
