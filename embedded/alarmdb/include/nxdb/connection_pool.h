// Idle server connections kept for the next NXDBInterface of the same
// target, so that short reads do not each pay a connection and its session
// set-up. Only a connection whose session can be put back as a new one has
// it is kept (see Backend::poolable and Backend::reset_session).
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "nxdb/backend.h"
#include "nxdb/connect_info.h"

namespace nxdb {

class ConnectionPool {
 public:
  // Idle connections kept per target; more are closed when handed back.
  static constexpr std::size_t kMaxIdlePerTarget = 8;

  // The process's pool. Never destroyed: at exit idle connections are left
  // to the operating system, nothing waits or joins.
  static ConnectionPool& instance();

  // The target a connection is kept under; "" when connections of this
  // target are not kept (SQLite: opening a file costs next to nothing).
  static std::string key(const NXDBConnectInfo& info, OpenMode mode);

  // An idle connection of the target, its session reset; null when none is
  // left that is still healthy.
  std::unique_ptr<Backend> take(const std::string& key);
  // Keeps the connection if it is healthy, outside any transaction and
  // there is room; closes it otherwise.
  void give_back(const std::string& key, std::unique_ptr<Backend> backend);

  std::size_t idle(const std::string& key) const;
  // Closes every idle connection (tests).
  void clear();

 private:
  ConnectionPool() = default;

  mutable std::mutex mutex_;
  std::map<std::string, std::vector<std::unique_ptr<Backend>>> idle_;
};

}  // namespace nxdb
