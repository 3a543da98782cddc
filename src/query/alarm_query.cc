#include "query/alarm_query.h"

#include <cstdio>
#include <cstring>

void AlarmQuery::add_filter(AlarmFilter* filter) {
  add_filter(std::unique_ptr<AlarmFilter>(filter));
}

void AlarmQuery::add_filter(std::unique_ptr<AlarmFilter> filter) {
  if (filter) filters_.push_back(std::move(filter));
}

void AlarmQuery::print() const {
  std::size_t left = filters_.size();
  for (const auto& f : filters_) {
    f->print();
    if (--left != 0) {
      std::printf("%s\n", logical_op_name(op_));
      std::fflush(stdout);
    }
  }
}

int AlarmQuery::current_size() const {
  const int op_length = static_cast<int>(std::strlen(logical_op_name(op_)));
  int size = 0;
  for (const auto& f : filters_) size += op_length + f->current_size();
  return size;
}

bool AlarmQuery::create_sql_filter(std::string& sql) const {
  if (filters_.empty()) return true;
  std::string out;
  if (filters_.size() == 1) {
    if (!filters_.front()->create_sql_all(out)) return false;
    sql += out;
    return true;
  }

  // Any operator but OR joins with AND, as filters do: the name "NO_LOG"
  // between two conditions is not SQL.
  const char* separator = op_ == LOG_OR ? " ) OR ( " : " ) AND ( ";
  std::string condition;
  bool any = false;
  for (const auto& f : filters_) {
    condition.clear();
    if (!f->create_sql_all(condition)) return false;
    if (condition.empty()) continue;
    out += any ? separator : "( ";
    out += condition;
    any = true;
  }
  if (any) out += " )";
  sql += out;
  return true;
}
