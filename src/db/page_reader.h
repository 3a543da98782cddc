// Ordered reads of a log: one page from where the last stopped (keyset), or
// every matching record in order. A log's records are in three tables; each
// is read in order up to the page's size and the rows are merged.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "db/field_reader.h"
#include "model/alarm_attribute.h"
#include "query/page_token.h"
#include "query/record_order.h"

struct PageEnd {
  bool more = false;   // records follow the last one handed over
  PagePosition last;   // where the page ended (valid when a record was read)
  std::size_t records = 0;
};

// Hands at most limit (1 or more) of the log's records matching condition
// (empty: all) that come after `after` (null: from the first) in order to
// sink. False when the database cannot be opened, the alarm record table is
// missing, a query fails or a key value cannot be read.
bool read_log_page(const std::string& log_fdn, const std::string& condition, const RecordOrder& order,
                   const PagePosition* after, std::size_t limit, const std::vector<AlarmAttributeId>& wanted,
                   const FieldSink& sink, PageEnd& end);

// Every matching record in order, read round records per table at a time
// over one connection. Records added while it reads come too if they sort
// after the records already handed over.
inline constexpr std::size_t kOrderedRound = 5000;
bool read_log_ordered(const std::string& log_fdn, const std::string& condition, const RecordOrder& order,
                      const std::vector<AlarmAttributeId>& wanted, const FieldSink& sink,
                      std::size_t round = kOrderedRound);
