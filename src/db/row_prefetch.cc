#include "db/row_prefetch.h"

#include <pthread.h>

RowPrefetch::~RowPrefetch() {
  if (!fetcher_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  changed_.notify_all();
  fetcher_.join();
}

void RowPrefetch::fetch() {
  for (;;) {
    Block* block = nullptr;
    {
      std::unique_lock<std::mutex> lock(mu_);
      changed_.wait(lock, [&] { return stop_ || !free_.empty(); });
      if (stop_) return;
      block = free_.front();
      free_.pop_front();
    }
    block->count = 0;
    bool more = true;
    while (block->count < kBlockRows && (more = set_.getNextRow(block->rows[block->count]))) ++block->count;
    {
      std::lock_guard<std::mutex> lock(mu_);
      full_.push_back(block);
      fetched_all_ = !more;
    }
    changed_.notify_all();
    if (!more) return;
  }
}

const NXDBRow* RowPrefetch::next() {
  if (!inline_done_) {
    if (inline_rows_ < kInlineRows) {
      ++inline_rows_;
      if (set_.getNextRow(inline_row_)) return &inline_row_;
      inline_done_ = true;
      fetched_all_ = true;
      return nullptr;
    }
    inline_done_ = true;
    blocks_.resize(kBlocks);
    for (Block& b : blocks_) free_.push_back(&b);
    fetcher_ = std::thread([this] {
      pthread_setname_np(pthread_self(), "nx-row-fetch");  // for top -H, perf, gdb
      fetch();
    });
  }
  if (!fetcher_.joinable()) return nullptr;  // everything was read inline
  if (current_ && at_ < current_->count) return &current_->rows[at_++];
  std::unique_lock<std::mutex> lock(mu_);
  if (current_) {
    free_.push_back(current_);
    current_ = nullptr;
    changed_.notify_all();
  }
  changed_.wait(lock, [&] { return !full_.empty() || fetched_all_; });
  if (full_.empty()) return nullptr;
  current_ = full_.front();
  full_.pop_front();
  at_ = 0;
  if (current_->count == 0) return nullptr;
  return &current_->rows[at_++];
}
