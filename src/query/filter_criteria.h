// FilterCriteria: one attribute, one relation and a list of values, and its
// fragment of an SQL condition over the alarm tables.
#pragma once

#include <cstddef>
#include <list>
#include <string>

enum RelationOpCriteria : int {
  NO_REL = 0,
  EQUAL = 1,
  NOT_EQUAL = 2,
  GREATER_THAN = 3,
  GREATER_THAN_OR_EQUAL = 4,
  LESS_THAN = 5,
  LESS_THAN_OR_EQUAL = 6,
};

// The name print() writes for a relation; empty for values outside 0..6.
const char* relation_op_name(RelationOpCriteria relation);

// The longest LIKE pattern the alarm database matches: SQLite refuses longer
// ones ("LIKE or GLOB pattern too complex"). PostgreSQL is held to the same
// so that both engines take the same filters.
inline constexpr std::size_t kMaxLikePatternBytes = 50000;

// The size of the LIKE pattern a value of the attribute becomes ('_' is
// escaped, a leading '%' added), or 0 when its values are no patterns.
std::size_t like_pattern_size(const std::string& attribute, const std::string& value);

class FilterCriteria {
 public:
  FilterCriteria() = default;
  FilterCriteria(std::string name, RelationOpCriteria relation,
                 const std::list<std::string>& values);

  const std::string& get_attrib_name() const { return name_; }
  const std::list<std::string>& get_attrib_values() const { return values_; }
  RelationOpCriteria get_relation() const { return relation_; }
  int get_number_of_values() const { return static_cast<int>(values_.size()); }

  // Rough text size: the name plus each value and two characters around it.
  int current_size() const;
  void print() const;

  // Appends the criterion's fragment to sql. Relation 0 (or above 6) and a
  // criterion whose values all drop out append nothing and succeed. A
  // criterion that cannot give a valid term (unknown attribute, a time that
  // is not 14 digits, a pattern attribute compared by order, a pattern
  // longer than kMaxLikePatternBytes) appends
  // nothing and returns false: the condition must then not be used at all,
  // never run without that part.
  bool create_sql_filter(std::string& sql) const;
  // The joining text is not needed by a single criterion.
  bool create_sql_filter(std::string& sql, const std::string& /*joiner*/) const {
    return create_sql_filter(sql);
  }

 private:
  std::string name_;
  std::list<std::string> values_;
  RelationOpCriteria relation_ = NO_REL;
};
