// Fetches the rows of a result a few blocks ahead of the reader, on a thread
// of its own once the result proves long, so that the database's work and
// the turning of rows into records overlap. While rows are prefetched the
// connection must serve nothing else; the table readers use it for nothing
// else while they go through a result.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/alarm_database.h"

class RowPrefetch {
 public:
  explicit RowPrefetch(NXDBSet& set) : set_(set) {}
  // Stops the fetching thread, if any, and waits for it.
  ~RowPrefetch();
  RowPrefetch(const RowPrefetch&) = delete;
  RowPrefetch& operator=(const RowPrefetch&) = delete;

  // The next row, valid until the next call; null when none is left (the
  // set's error() then tells whether the fetch failed).
  const NXDBRow* next();

  // Rows fetched on the caller's thread before the fetching thread starts:
  // short results never pay for a thread.
  static constexpr std::size_t kInlineRows = 256;
  static constexpr std::size_t kBlockRows = 128;
  static constexpr std::size_t kBlocks = 4;

 private:
  struct Block {
    std::vector<NXDBRow> rows = std::vector<NXDBRow>(kBlockRows);
    std::size_t count = 0;
  };

  void fetch();

  NXDBSet& set_;
  NXDBRow inline_row_;
  std::size_t inline_rows_ = 0;
  bool inline_done_ = false;

  std::thread fetcher_;
  std::mutex mu_;
  std::condition_variable changed_;
  std::vector<Block> blocks_;
  std::deque<Block*> full_;
  std::deque<Block*> free_;
  bool fetched_all_ = false;
  bool stop_ = false;
  Block* current_ = nullptr;
  std::size_t at_ = 0;
};
