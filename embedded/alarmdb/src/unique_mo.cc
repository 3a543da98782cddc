#include "nxdb/unique_mo.h"

#include "nxdb/backend.h"
#include "nxdb/interface.h"

namespace nxdb {

const char kIdentitySelect[] = "SELECT moi_id FROM nxmoid WHERE moi_ber = ?1";
const char kIdentityInsert[] = "INSERT INTO nxmoid (moi_ber) VALUES (?1) ON CONFLICT (moi_ber) DO NOTHING";

bool identity_through(Statement& select, Statement* insert, const DataUnit& ber, long& id,
                      std::string& error) {
  id = -1;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt == 1) {
      if (insert == nullptr) return true;
      insert->reset();
      const StepResult r = insert->bind_blob(1, ber.data(), ber.size()) ? insert->step() : StepResult::kError;
      if (r == StepResult::kError) error = insert->error();
      insert->reset();
      if (r == StepResult::kError) return false;
    }
    select.reset();
    const StepResult r = select.bind_blob(1, ber.data(), ber.size()) ? select.step() : StepResult::kError;
    if (r == StepResult::kError) {
      error = select.error();
      select.reset();
      return false;
    }
    if (r == StepResult::kRow) id = static_cast<long>(select.cell_int(0));
    select.reset();
    if (id >= 0) return true;
  }
  return true;
}

}  // namespace nxdb

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

  auto select = db->prepare(nxdb::kIdentitySelect, error_);
  if (!select) return -1;
  std::unique_ptr<nxdb::Statement> insert;
  if (create_ && !(insert = db->prepare(nxdb::kIdentityInsert, error_))) return -1;
  long id = -1;
  if (!nxdb::identity_through(*select, insert.get(), ber, id, error_)) return -1;
  if (id < 0) {
    error_ = "unknown managed object";
    return -1;
  }
  if (cache_size_ > 0) {
    if (cache_.size() >= cache_size_) cache_.clear();
    cache_.emplace(std::move(key), id);
  }
  return id;
}
