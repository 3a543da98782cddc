#include "jni/batch.h"

#include <mutex>
#include <unordered_map>

namespace {
std::mutex& guard() {
  static auto* m = new std::mutex;
  return *m;
}
// Batch objects are shared so a stop request can finish with one that a
// retrieval removes at the same moment.
std::unordered_map<int, std::shared_ptr<Batch>>& registry() {
  static auto* map = new std::unordered_map<int, std::shared_ptr<Batch>>(64);
  return *map;
}
}  // namespace


Batch::Batch() : created(std::time(nullptr)) {}

std::shared_ptr<Batch> Batch::find_or_create(int batch_id) {
  std::lock_guard<std::mutex> lock(guard());
  auto& slot = registry()[batch_id];
  if (!slot) slot = std::make_shared<Batch>();
  return slot;
}

std::shared_ptr<Batch> Batch::find(int batch_id) {
  std::lock_guard<std::mutex> lock(guard());
  auto it = registry().find(batch_id);
  return it == registry().end() ? nullptr : it->second;
}

void Batch::request_stop(int batch_id) {
  find_or_create(batch_id)->state.store(STOPPED, std::memory_order_release);
}

void Batch::remove(int batch_id) {
  std::lock_guard<std::mutex> lock(guard());
  registry().erase(batch_id);
}

void Batch::reap() { reap_at(std::time(nullptr)); }

void Batch::reap_at(std::time_t now) {
  if (now % 10 != 0) return;
  std::lock_guard<std::mutex> lock(guard());
  auto& map = registry();
  for (auto it = map.begin(); it != map.end();) {
    const Batch& b = *it->second;
    // pending is only touched by the retrieval that owns the batch, under
    // the process-wide lock, which reap's callers hold too.
    if (b.stopped() && static_cast<long>(now - b.created) > TIMEOUT && b.pending == 0) {
      it = map.erase(it);
    } else {
      ++it;
    }
  }
}

std::size_t Batch::size() {
  std::lock_guard<std::mutex> lock(guard());
  return registry().size();
}
