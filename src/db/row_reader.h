// How each attribute of an alarm table row is read, and a reader that reads
// any one of them on demand, so that a client wanting a few attributes does
// not pay for all of them.
#pragma once

#include <cstddef>
#include <string>

#include "db/blob_scratch.h"
#include "model/alarm_attribute.h"
#include "platform/alarm_database.h"
#include "platform/management_platform.h"

enum class AttrRule {
  kBlobFirst,        // the blob's value, else the column's text when not empty
  kBlobFirstAlways,  // the same, else the empty text: always present
  kInstance,         // blob first; a column text becomes its value notation
  kTime,             // the column through the time conversion: always present
  kInt,              // the column as an integer, "%d": always present
  kRecordId,         // the column as an integer, "number:%d": always present
};

struct AttrSource {
  const char* name;  // attribute name as the record's map takes it
  AttrRule rule;
  const char* column;
};

// The common attributes of every alarm table, in reading order.
extern const AttrSource kCommonSources[];
extern const std::size_t kCommonSourceCount;

// Reads the attributes of one row at a time. The blob is parsed at most once
// per row, at the first attribute that may come from it; the blob arrays
// carry over from row to row, so their storage is reused. Columns are taken
// by their place in the rows read, which the caller's SELECT fixes: no
// lookup by name per row.
class RowReader {
 public:
  // blob_column: where the rows carry the blob, -1 when they do not.
  explicit RowReader(int blob_column = -1) : blob_column_(blob_column) {}
  RowReader(const RowReader&) = delete;
  RowReader& operator=(const RowReader&) = delete;

  // A new row: its blob is yet to be parsed.
  void start_row(const NXDBRow& row) {
    blob_parsed_ = false;
    row_ = &row;
  }
  // True when the row has the attribute source reads, from column (its
  // place in the row; -1 when not selected: NULL); out then holds the text a
  // record's attribute map keeps for it as id, written over out's old text.
  bool read(const AttrSource& source, int column, AlarmAttributeId id, std::string& out);

 private:
  const std::string& column_text(int column) const;
  int column_int(int column) const;
  bool from_blob(const char* name, std::string& out);

  const int blob_column_;
  OidArray ids_;
  Asn1ValueArray blob_values_;
  bool blob_parsed_ = false;
  const NXDBRow* row_ = nullptr;
  NXDBBlob blob_;
  BlobScratch scratch_;  // this reader's own: readers run on several threads
};
