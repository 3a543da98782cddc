// The three alarm tables a log's records are read from: their record-type
// codes and the attributes of their own columns.
#pragma once

#include <cstddef>

#include "db/row_reader.h"

struct TableSpec {
  const char* code;  // the record type in the log directory
  const AttrSource* sources;  // after the common ones, in reading order
  std::size_t source_count;
};

extern const TableSpec kAlarmTable;
extern const TableSpec kInternetTable;
extern const TableSpec kNerveCenterTable;

// Calls f with every attribute source of a row of the table: the common
// ones, then the table's own, in reading order.
template <typename F>
void for_each_source(const TableSpec& table, F&& f) {
  for (std::size_t i = 0; i < kCommonSourceCount; ++i) f(kCommonSources[i]);
  for (std::size_t i = 0; i < table.source_count; ++i) f(table.sources[i]);
}
