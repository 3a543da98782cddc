#include "nxdb/unique_mo.h"

#include "nxdb/interface.h"

UniqueMO::UniqueMO(const NXDBConnectInfo& info, bool create, int cache_size)
    : connection_(std::make_unique<NXDBInterface>(info)),
      create_(create),
      cache_size_(cache_size > 0 ? static_cast<std::size_t>(cache_size) : 0) {
  if (!connection_->isConnected()) error_ = connection_->lastError();
}

UniqueMO::~UniqueMO() = default;

long UniqueMO::get_unique_id(const DataUnit& ber) const {
  if (ber.empty()) {
    error_ = "empty managed-object name";
    return -1;
  }
  nxdb::Backend* db = connection_->backend();
  if (db == nullptr) {
    error_ = connection_->lastError();
    return -1;
  }
  std::string key = ber.str();
  if (auto it = cache_.find(key); it != cache_.end()) return it->second;

  if (create_) {
    // Get-or-create in one statement: a name already there keeps its id.
    auto insert = db->prepare("INSERT INTO nxmoid (moi_ber) VALUES (?1) ON CONFLICT (moi_ber) DO NOTHING", error_);
    if (!insert || !insert->bind_blob(1, ber.data(), ber.size()) ||
        insert->step() != nxdb::StepResult::kDone) {
      if (insert) error_ = insert->error();
      return -1;
    }
  }
  auto select = db->prepare("SELECT moi_id FROM nxmoid WHERE moi_ber = ?1", error_);
  if (!select || !select->bind_blob(1, ber.data(), ber.size())) return -1;
  nxdb::StepResult r = select->step();
  if (r != nxdb::StepResult::kRow) {
    error_ = r == nxdb::StepResult::kDone ? "unknown managed object" : select->error();
    return -1;
  }
  long id = static_cast<long>(select->cell_int(0));
  if (cache_size_ > 0) {
    if (cache_.size() >= cache_size_) cache_.clear();
    cache_.emplace(std::move(key), id);
  }
  return id;
}
