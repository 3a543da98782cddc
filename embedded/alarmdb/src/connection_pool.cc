#include "nxdb/connection_pool.h"

#include <utility>

#include "nxdb/lock_wait.h"

namespace nxdb {

ConnectionPool& ConnectionPool::instance() {
  // Leaked on purpose: no destructor runs at exit while another thread may
  // still hand a connection back.
  static ConnectionPool* pool = new ConnectionPool();
  return *pool;
}

std::string ConnectionPool::key(const NXDBConnectInfo& info, OpenMode mode) {
  if (info.backend() != BackendKind::kPostgres) return {};
  // The lock wait is part of the target: a connection's statement time-out
  // was chosen from it when it connected.
  return info.connect_uri() + '\n' + (mode == OpenMode::kCreate ? "create" : "existing") + '\n' +
         std::to_string(lock_wait_seconds());
}

std::unique_ptr<Backend> ConnectionPool::take(const std::string& key) {
  if (key.empty()) return nullptr;
  for (;;) {
    std::unique_ptr<Backend> backend;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = idle_.find(key);
      if (it == idle_.end() || it->second.empty()) return nullptr;
      backend = std::move(it->second.back());
      it->second.pop_back();
    }
    // The round trip of the reset also finds a connection the server has
    // closed meanwhile; such a one is dropped here, outside the lock.
    if (backend->reset_session()) return backend;
  }
}

void ConnectionPool::give_back(const std::string& key, std::unique_ptr<Backend> backend) {
  if (key.empty() || !backend || !backend->poolable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& idle = idle_[key];
    if (idle.size() < kMaxIdlePerTarget) {
      idle.push_back(std::move(backend));
      return;
    }
  }
  // Full: backend is closed as it goes out of scope, outside the lock.
}

std::size_t ConnectionPool::idle(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = idle_.find(key);
  return it == idle_.end() ? 0 : it->second.size();
}

void ConnectionPool::clear() {
  std::map<std::string, std::vector<std::unique_ptr<Backend>>> closing;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing.swap(idle_);
  }
}

}  // namespace nxdb
