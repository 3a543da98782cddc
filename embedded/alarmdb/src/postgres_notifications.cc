#include "postgres_notifications.h"

#include <poll.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "postgres_handles.h"
#include "postgres_results.h"

namespace nxdb::pg {
namespace {

bool collect(PGconn* c, std::vector<std::string>& payloads) {
  bool any = false;
  PQconsumeInput(c);
  while (std::unique_ptr<PGnotify, NotifyFreer> n{PQnotifies(c)}) {
    payloads.emplace_back(n->extra != nullptr ? n->extra : "");
    any = true;
  }
  return any;
}

}  // namespace

bool wait_notifications(Connection& conn, int timeout_ms, std::vector<std::string>& payloads,
                        std::string& error, int wake_fd) {
  conn.settle();
  if (!conn.usable()) {
    // A reconnection re-subscribes; what was sent meanwhile is for the
    // caller to look up.
    return conn.ensure(error);
  }
  PGconn* c = conn.get();
  if (collect(c, payloads)) return true;
  pollfd fds[2] = {{PQsocket(c), POLLIN, 0}, {wake_fd, POLLIN, 0}};
  const int rc = poll(fds, wake_fd >= 0 ? 2 : 1, timeout_ms);
  if (rc < 0) {
    if (errno != EINTR) error = std::strerror(errno);
    return false;
  }
  if (rc == 0) return false;
  const bool woken = wake_fd >= 0 && (fds[1].revents & POLLIN) != 0;
  if (fds[0].revents != 0 && !PQconsumeInput(c)) {
    error = "connection to the alarm database lost: " + trimmed_message(PQerrorMessage(c));
    conn.note_failure(false);
    return false;
  }
  return collect(c, payloads) || woken;
}

}  // namespace nxdb::pg
