// AlarmFilter: criteria joined by one logical operator. AlarmQuery (in
// alarm_query.h) joins filters the same way.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "query/filter_criteria.h"

// Named LOG_OR / LOG_AND rather than OR / AND to keep such short names out
// of the global namespace; print() writes "OR" and "AND".
enum LogicalOpCriteria : int {
  NO_LOG = 0,
  LOG_OR = 1,
  LOG_AND = 2,
};

// "NO_LOG", "OR" or "AND"; empty for any other value.
const char* logical_op_name(LogicalOpCriteria op);

class AlarmFilter {
 public:
  AlarmFilter() = default;
  AlarmFilter(const AlarmFilter&) = delete;
  AlarmFilter& operator=(const AlarmFilter&) = delete;

  // Appends a criterion made of copies of the arguments; false only when it
  // could not be allocated.
  bool add_filter_criteria(std::string name, RelationOpCriteria relation,
                           const std::list<std::string>& values);
  // The first criterion on exactly that name, or null.
  const FilterCriteria* get_filter_criteria(std::string name) const;
  void delete_filter_criteria(std::string name);
  void destroy_all_filter_criterias() { criteria_.clear(); }
  // An 8-bit count, as the Java binding receives it: it wraps at 256, so
  // nothing may be decided on it (use get_criterias()).
  std::uint8_t get_number_of_criterias() const {
    return static_cast<std::uint8_t>(criteria_.size());
  }
  const std::list<FilterCriteria>& get_criterias() const { return criteria_; }

  LogicalOpCriteria get_logical_op() const { return op_; }
  void set_logical_op(LogicalOpCriteria op) { op_ = op; }

  void print() const;
  int current_size() const;

  // Appends the filter's condition; false (and nothing appended) when any
  // criterion is invalid. Criteria that give no text are left out together
  // with their joining text, so the result is always a valid condition.
  bool create_sql_all(std::string& sql) const;

 private:
  LogicalOpCriteria op_ = NO_LOG;
  std::list<FilterCriteria> criteria_;  // a list: criteria keep their addresses
};
