// AlarmQuery: filters joined by one logical operator; its condition is what
// the database reader puts after WHERE.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "query/alarm_filter.h"

class AlarmQuery {
 public:
  AlarmQuery() = default;
  AlarmQuery(const AlarmQuery&) = delete;
  AlarmQuery& operator=(const AlarmQuery&) = delete;

  // Takes ownership; a null filter is ignored.
  void add_filter(AlarmFilter* filter);
  void add_filter(std::unique_ptr<AlarmFilter> filter);
  // Destroys all filters (and so their criteria).
  void destroy_all_filter_criterias() { filters_.clear(); }
  // An 8-bit count, as the Java binding receives it: it wraps at 256, so
  // nothing may be decided on it (use get_filters()).
  std::uint8_t get_number_of_filters() const {
    return static_cast<std::uint8_t>(filters_.size());
  }
  const std::list<std::unique_ptr<AlarmFilter>>& get_filters() const { return filters_; }

  LogicalOpCriteria get_logical_op() const { return op_; }
  void set_logical_op(LogicalOpCriteria op) { op_ = op; }

  void print() const;
  int current_size() const;

  // Appends the query's condition; false (and nothing appended) when any
  // criterion of any filter is invalid, so a query is never run with a part
  // left out. Filters are joined by OR for LOG_OR and by AND otherwise.
  bool create_sql_filter(std::string& sql) const;

 private:
  LogicalOpCriteria op_ = NO_LOG;
  std::list<std::unique_ptr<AlarmFilter>> filters_;
};
