// Reads a retrieval's records and packs them on a worker thread while the
// calling thread hands the packed runs to the Java side, so that the
// database read and the making of Java objects overlap.
#pragma once

#include <cstddef>
#include <functional>
#include <limits>
#include <string>

#include "db/record_fields.h"

namespace nxjni {

// Packed records handed over at once.
struct PackedRun {
  std::string bytes;
  std::size_t records = 0;
  // The batch being filled is complete after this run's records.
  bool batch_end = false;
};

constexpr std::size_t kNoBatches = std::numeric_limits<std::size_t>::max();

// The read: calls its sink with each record's fields in order and returns
// whether the read succeeded (a read the sink stopped has succeeded).
using FieldRead = std::function<bool(const std::function<bool(const RecordFields&)>& sink)>;

// Runs read on a worker thread and gives each packed run to consume on the
// calling thread, in order. Batches: a run closes the batch being filled
// (batch_end) when the next record would be one more than batch_limit.
// stopped (may be empty) is asked before each record; once it says so the
// read stops. consume returns false to stop the read early. Returns read's
// result; a read that threw has failed.
bool stream_packed(const FieldRead& read, std::size_t batch_limit, const std::function<bool()>& stopped,
                   const std::function<bool(PackedRun&)>& consume);

}  // namespace nxjni
