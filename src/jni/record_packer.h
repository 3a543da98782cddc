// Packs the wanted fields of records into the compact form that the Java
// side's RecordAssembler turns into AlarmRecord objects: each field decided
// here exactly as the JNI record builder decides it, so both give the same
// records. No JNI calls: the packing can be tested and measured alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <optional>
#include <vector>

#include "db/record_fields.h"

namespace nxjni {

// Operation codes shared with RecordAssembler.java.
enum PackedOp : std::uint8_t {
  kOpEnd = 0, kOpText = 1, kOpTrue = 2, kOpDate = 3, kOpNull = 4, kOpSeverity = 5,
  kOpRecordId = 6, kOpMoName = 7, kOpLogName = 8, kOpMember = 9,
};

// Kinds of alarm-log events, as AlarmLogEvent numbers them.
enum EventKind : std::uint8_t { kEventCreated = 1, kEventDeleted = 2, kEventChanged = 3, kEventResync = 4 };

// The log an event belongs to, as its Java LogName is made.
struct EventLog {
  std::string mis;
  std::string id;        // the identifier's text, or its number
  bool number = false;   // a numbered log: id holds a decimal int
};

class RecordPacker {
 public:
  // Appends one record. Attributes the Java record has no field for, and
  // record identifiers that are no number, are reported on pfd as the
  // builder reports them.
  void add(const RecordFields& fields);
  // Appends one alarm-log event: its kind, its log (written only when it
  // differs from the previous event's), then its record. A creation carries
  // the wanted attributes as a retrieval record does; a deletion or change
  // carries those of them it has, each that joins the record's own
  // attribute set marked as a member, and its log name; a resync carries the
  // log name only.
  void add_event(EventKind kind, const EventLog& log, const AlarmAttributeMap& attributes,
                 const std::string& record_id, const std::vector<AlarmAttributeId>& wanted);

  const std::string& bytes() const { return bytes_; }
  std::size_t records() const { return records_; }
  // The packed bytes, leaving the packer empty; it goes on in buffer (its
  // contents dropped, its capacity kept).
  std::string take(std::string buffer = std::string()) {
    records_ = 0;
    last_log_.reset();
    buffer.clear();
    return std::exchange(bytes_, std::move(buffer));
  }

 private:
  void put_int(std::int32_t v);
  void put_text(const std::string& text);
  // One field's operations; false when the field is left unset.
  bool put_field(AlarmAttributeId id, const std::string& text);

  std::string bytes_;
  std::size_t records_ = 0;
  std::optional<EventLog> last_log_;
};

}  // namespace nxjni
