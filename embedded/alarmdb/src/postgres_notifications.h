// Waiting for notifications of the channels a connection listens to.
#pragma once

#include <string>
#include <vector>

#include "postgres_connection.h"

namespace nxdb::pg {

// The payloads of notifications that came, waiting up to timeout_ms for the
// first. False when none came (error set when the wait failed); true with
// no payloads after a reconnection, when what was sent meanwhile is for the
// caller to look up, and when wake_fd (-1: none) is readable, which is
// left to the caller to empty.
bool wait_notifications(Connection& conn, int timeout_ms, std::vector<std::string>& payloads,
                        std::string& error, int wake_fd = -1);

}  // namespace nxdb::pg
