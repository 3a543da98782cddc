// Packs the wanted fields of records into the compact form that the Java
// side's RecordAssembler turns into AlarmRecord objects: each field decided
// here exactly as the JNI record builder decides it, so both give the same
// records. No JNI calls: the packing can be tested and measured alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "db/record_fields.h"

namespace nxjni {

// Operation codes shared with RecordAssembler.java.
enum PackedOp : std::uint8_t {
  kOpEnd = 0, kOpText = 1, kOpTrue = 2, kOpDate = 3, kOpNull = 4, kOpSeverity = 5,
  kOpRecordId = 6, kOpMoName = 7, kOpLogName = 8,
};

class RecordPacker {
 public:
  // Appends one record. Attributes the Java record has no field for, and
  // record identifiers that are no number, are reported on pfd as the
  // builder reports them.
  void add(const RecordFields& fields);

  const std::string& bytes() const { return bytes_; }
  std::size_t records() const { return records_; }
  // The packed bytes, leaving the packer empty; it goes on in buffer (its
  // contents dropped, its capacity kept).
  std::string take(std::string buffer = std::string()) {
    records_ = 0;
    buffer.clear();
    return std::exchange(bytes_, std::move(buffer));
  }

 private:
  void put_int(std::int32_t v);
  void put_text(const std::string& text);

  std::string bytes_;
  std::size_t records_ = 0;
};

}  // namespace nxjni
