// The process's one MIS connection: made on demand, stopped by shutdown,
// and at the process's exit told to stop without being waited for long.
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "mis/mis.h"
#include "mis/mis_constants.h"
#include "nxmp/mis.h"

namespace nxmp_mis {
namespace {

// A plain mutex polled at exit rather than a timed one: libstdc++ waits on a
// timed mutex with pthread_mutex_clocklock, which ThreadSanitizer does not
// know, so it reported every exit as an unlock of an unlocked mutex.
std::mutex g_mis_mu;
// Never destroyed: a static destructor must not stop (join) the MIS.
std::shared_ptr<Mis>& g_mis = *new std::shared_ptr<Mis>;
bool g_atexit_registered = false;
bool g_exiting = false;

// The process is ending: the dispatcher is told to stop and given a moment,
// and the connection is left as it is, since threads of the program may
// still be inside the library using it. A thread that holds g_mis_mu (a
// connection being made) is not waited for either.
void shutdown_at_exit() {
  std::unique_lock<std::mutex> lock(g_mis_mu, std::defer_lock);
  const auto give_up = std::chrono::steady_clock::now() + kExitWait;
  while (!lock.try_lock()) {
    if (std::chrono::steady_clock::now() >= give_up) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  g_exiting = true;
  std::shared_ptr<Mis> mis = g_mis;
  lock.unlock();
  if (mis) mis->stop_at_exit();
}

}  // namespace

std::shared_ptr<Mis> current_mis(std::string& error) {
  std::lock_guard<std::mutex> lock(g_mis_mu);
  if (g_mis) return g_mis;
  if (g_exiting) {
    error = "the process is exiting";
    return nullptr;
  }
  g_mis = Mis::connect(error);
  if (g_mis && !g_atexit_registered) {
    g_atexit_registered = true;
    std::atexit(shutdown_at_exit);
  }
  return g_mis;
}

void shutdown() {
  std::shared_ptr<Mis> mis;
  {
    std::lock_guard<std::mutex> lock(g_mis_mu);
    mis.swap(g_mis);
  }
  if (mis) mis->stop();
}

std::size_t pending_events() {
  std::lock_guard<std::mutex> lock(g_mis_mu);
  return g_mis ? g_mis->pending() : 0;
}

}  // namespace nxmp_mis
