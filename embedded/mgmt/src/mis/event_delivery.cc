// Subscriptions, and delivery of a block of journal entries to the
// subscribed callbacks under the process-wide lock: a loss marker first when
// entries were removed unread, then the entries in order, then the end of
// the run.
#include <deque>
#include <unordered_map>

#include "mis/mis.h"
#include "mis/mis_constants.h"
#include "nxmp/hvi_lock.h"

namespace nxmp_mis {
namespace {

constexpr std::size_t kFreedRemembered = 1024;

// Events being delivered, and the addresses of the last ones delivered, so
// that CurrentEvent can tell a stale pointer from a wild one. Never
// destroyed, like everything a dispatcher left running at exit may touch.
struct EventRegistry {
  std::mutex mu;
  std::unordered_map<const void*, std::shared_ptr<const Event>> live;
  std::deque<const void*> freed;
};
EventRegistry& events() {
  static auto* registry = new EventRegistry;
  return *registry;
}

}  // namespace

void Mis::subscribe(const std::string& kind, const Callback& cb) {
  std::lock_guard<std::mutex> lock(subs_mu_);
  subscriptions_.emplace_back(kind, cb);
}

bool Mis::has_subscribers() {
  std::lock_guard<std::mutex> lock(subs_mu_);
  return !subscriptions_.empty();
}

void Mis::unsubscribe(void* client_data) {
  std::lock_guard<std::mutex> lock(subs_mu_);
  for (auto it = subscriptions_.begin(); it != subscriptions_.end();) {
    it = it->second.client_data() == client_data ? subscriptions_.erase(it) : it + 1;
  }
}

bool Mis::deliver_block(const std::vector<std::pair<long long, std::shared_ptr<Event>>>& block, bool lost) {
  {
    // Nobody to call: the lock is not worth waiting for.
    std::lock_guard<std::mutex> lock(subs_mu_);
    if (subscriptions_.empty()) return true;
  }
  // The process-wide lock, once for the block, without blocking shutdown: a
  // thread that holds it while the process exits must not keep the
  // dispatcher from stopping.
  std::recursive_mutex& hvi = HviLock::mutex();
  {
    // Callers that query without a pause would otherwise keep events out.
    HviLock::Claim claim;
    while (!hvi.try_lock()) {
      std::unique_lock<std::mutex> lock(queue_mu_);
      if (queue_cv_.wait_for(lock, std::chrono::microseconds(200), [&] { return stopping_; })) return false;
    }
  }
  std::lock_guard<std::recursive_mutex> held(hvi, std::adopt_lock);
  if (lost) {
    Event marker;
    marker.magic = kLiveMagic;
    marker.kind = "EVENTS_LOST";
    if (!deliver_locked(marker)) return false;
  }
  for (const auto& entry : block) {
    if (!deliver_locked(*entry.second)) return false;
  }
  // Subscribers that gather the block's events pass them on now.
  Event end;
  end.magic = kLiveMagic;
  end.kind = "EVENT_RUN_END";
  return deliver_locked(end);
}

bool Mis::deliver_locked(const Event& event) {
  // Chosen under the lock, so that a client that cancels its subscriptions
  // under the lock is never called afterwards.
  std::vector<Callback> targets;
  {
    std::lock_guard<std::mutex> lock(subs_mu_);
    for (const auto& [kind, cb] : subscriptions_) {
      if (kind == event.kind) targets.push_back(cb);
    }
  }
  {
    // Nothing is called once stopping: at exit the callbacks' world (the
    // Java VM) may be gone.
    std::lock_guard<std::mutex> lock(queue_mu_);
    if (stopping_) return false;
  }
  if (targets.empty()) return true;
  auto live = std::shared_ptr<const Event>(&event, [](const Event*) {});
  {
    std::lock_guard<std::mutex> lock(events().mu);
    events().live[&event] = live;
  }
  for (const Callback& cb : targets) cb.invoke(const_cast<Event*>(&event));
  std::lock_guard<std::mutex> lock(events().mu);
  events().live.erase(&event);
  events().freed.push_back(&event);
  if (events().freed.size() > kFreedRemembered) events().freed.pop_front();
  return true;
}

std::shared_ptr<const Event> lookup_event(const void* pointer, bool& freed) {
  std::lock_guard<std::mutex> lock(events().mu);
  freed = false;
  auto it = events().live.find(pointer);
  if (it != events().live.end() && it->second->magic == kLiveMagic) return it->second;
  for (const void* p : events().freed) {
    if (p == pointer) freed = true;
  }
  return nullptr;
}

}  // namespace nxmp_mis
