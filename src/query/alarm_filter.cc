#include "query/alarm_filter.h"

#include <cstdio>
#include <cstring>
#include <new>

const char* logical_op_name(LogicalOpCriteria op) {
  switch (op) {
    case NO_LOG:
      return "NO_LOG";
    case LOG_OR:
      return "OR";
    case LOG_AND:
      return "AND";
  }
  return "";
}

bool AlarmFilter::add_filter_criteria(std::string name, RelationOpCriteria relation,
                                      const std::list<std::string>& values) {
  try {
    criteria_.emplace_back(std::move(name), relation, values);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

const FilterCriteria* AlarmFilter::get_filter_criteria(std::string name) const {
  for (const auto& c : criteria_) {
    if (c.get_attrib_name() == name) return &c;
  }
  return nullptr;
}

void AlarmFilter::delete_filter_criteria(std::string name) {
  for (auto it = criteria_.begin(); it != criteria_.end(); ++it) {
    if (it->get_attrib_name() == name) {
      criteria_.erase(it);
      return;
    }
  }
}

void AlarmFilter::print() const {
  std::size_t left = criteria_.size();
  for (const auto& c : criteria_) {
    c.print();
    if (--left != 0) {
      std::printf("%s\n", logical_op_name(op_));
      std::fflush(stdout);
    }
  }
}

int AlarmFilter::current_size() const {
  const int op_length = static_cast<int>(std::strlen(logical_op_name(op_)));
  int size = 0;
  for (const auto& c : criteria_) size += op_length + c.current_size();
  return size;
}

bool AlarmFilter::create_sql_all(std::string& sql) const {
  if (criteria_.empty()) return true;
  std::string out;
  if (criteria_.size() == 1) {
    if (!criteria_.front().create_sql_filter(out)) return false;
    sql += out;
    return true;
  }

  const char* joiner = op_ == LOG_OR ? " OR " : " AND ";
  std::string fragment;
  for (const auto& c : criteria_) {
    fragment.clear();
    if (!c.create_sql_filter(fragment)) return false;
    if (fragment.empty()) continue;
    if (!out.empty()) out += joiner;
    // Several values bring their own parentheses; a single one is wrapped
    // here. Decided by the value count, as the callers expect.
    if (c.get_number_of_values() == 1) {
      out += "( ";
      out += fragment;
      out += " )";
    } else {
      out += fragment;
    }
  }
  sql += out;
  return true;
}
