#include "query/filter_criteria.h"

#include <cstdio>

#include "query/alarm_schema.h"

namespace {

struct StateShortcut {
  const char* name;
  const char* equal;
  const char* not_equal;
};

// Combined acknowledge/clear states; they have no column of their own.
const StateShortcut kStateShortcuts[] = {
    {"open", "( ( ackState = 'unAcked' ) AND ( clearState = 'unCleared' ) )",
     "( ( ackState <> 'unAcked' ) OR ( clearState <> 'unCleared' ) )"},
    {"acked", "( ( ackState = 'acked' ) AND ( clearState = 'unCleared' ) )",
     "( ( ackState <> 'acked' ) OR ( clearState <> 'unCleared' ) )"},
    {"cleared", "( ( ackState = 'unAcked' ) AND ( clearState = 'cleared' ) )",
     "( ( ackState <> 'unAcked' ) OR ( clearState <> 'cleared' ) )"},
    {"acked_and_cleared", "( ( ackState = 'acked' ) AND ( clearState = 'cleared' ) )",
     "( ( ackState <> 'acked' ) OR ( clearState <> 'cleared' ) )"},
};

const char* const kRelationNames[] = {
    "NO_REL", "EQUAL", "NOT_EQUAL", "GREATER_THAN", "GREATER_THAN_OR_EQUAL", "LESS_THAN",
    "LESS_THAN_OR_EQUAL",
};

const char* const kOperators[] = {"", " = ", " <> ", " > ", " >= ", " < ", " <= "};

// The longest managed-object-instance value that is still compared.
constexpr std::size_t kMaxInstanceLength = 254;
constexpr std::size_t kTimeLength = 14;

bool is_pattern_attribute(const std::string& name) {
  return name == "managedObjectClass" || name == "eventType";
}

bool is_time_attribute(const std::string& name) {
  return name == "eventTime" || name == "loggingTime" || name == "ackTime" ||
         name == "clearTime" || name == "displayTime";
}

// Doubles single quotes so that a value can never end its literal early.
void append_quoted_body(std::string& out, const std::string& text) {
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
}

// '*' becomes the SQL wildcard and '_' is made literal for the ESCAPE '\'
// clause. Reports whether any '*' was seen.
bool to_like_pattern(const std::string& value, std::string& pattern) {
  bool had_star = false;
  pattern.clear();
  pattern.reserve(value.size() + 4);
  for (char c : value) {
    if (c == '*') {
      pattern += '%';
      had_star = true;
    } else if (c == '_') {
      pattern += "\\_";
    } else {
      pattern += c;
    }
  }
  return had_star;
}

bool is_time_value(const std::string& value) {
  if (value.size() != kTimeLength) return false;
  for (char c : value) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::size_t like_pattern_size(const std::string& attribute, const std::string& value) {
  if (!is_pattern_attribute(attribute)) return 0;
  std::size_t size = value.empty() || value[0] != '*' ? 1 : 0;
  for (char c : value) size += c == '_' ? 2 : 1;
  return size;
}

const char* relation_op_name(RelationOpCriteria relation) {
  const int n = static_cast<int>(relation);
  if (n < NO_REL || n > LESS_THAN_OR_EQUAL) return "";
  return kRelationNames[n];
}

FilterCriteria::FilterCriteria(std::string name, RelationOpCriteria relation,
                               const std::list<std::string>& values)
    : name_(std::move(name)), values_(values), relation_(relation) {}

int FilterCriteria::current_size() const {
  std::size_t size = name_.size();
  for (const auto& v : values_) size += v.size() + 2;
  return static_cast<int>(size);
}

void FilterCriteria::print() const {
  if (!values_.empty()) {
    std::printf("%s %s ", name_.c_str(), relation_op_name(relation_));
    bool first = true;
    for (const auto& v : values_) {
      std::printf(first ? "%s" : ", %s", v.c_str());
      first = false;
    }
  }
  std::printf("\n");
  std::fflush(stdout);
}

bool FilterCriteria::create_sql_filter(std::string& sql) const {
  const int relation = static_cast<int>(relation_);
  // A relation outside the six is no restriction the caller could have
  // meant: with values to compare it makes the condition invalid rather
  // than dropping out and widening the selection.
  if (relation <= NO_REL || relation > LESS_THAN_OR_EQUAL) return values_.empty();

  if (relation == EQUAL || relation == NOT_EQUAL) {
    for (const auto& shortcut : kStateShortcuts) {
      if (name_ == shortcut.name) {
        sql += relation == EQUAL ? shortcut.equal : shortcut.not_equal;
        return true;
      }
    }
  }

  const std::string column = AlarmSchema::get_instance()->getColumnName(name_);
  if (column.empty()) return false;

  const bool pattern = is_pattern_attribute(name_);
  const bool instance = name_ == "managedObjectInstance";
  const bool time = is_time_attribute(name_);
  // LIKE with ESCAPE has no ordering form; refuse rather than send a
  // condition the database cannot read.
  if (pattern && relation != EQUAL && relation != NOT_EQUAL) return false;

  const char* op = kOperators[relation];
  if (pattern) op = relation == EQUAL ? " LIKE " : " NOT LIKE ";

  // Terms are appended as they are made; the first is held back until it
  // is known whether there are several (then each is parenthesised).
  std::string first;
  std::string joined;
  std::string term;
  std::string like;
  int count = 0;
  for (const auto& value : values_) {
    term.assign(column);
    if (pattern) {
      to_like_pattern(value, like);
      if (like.empty() || like[0] != '%') like.insert(0, 1, '%');
      if (like.size() > kMaxLikePatternBytes) return false;
      term.append(op).append("'");
      append_quoted_body(term, like);
      term += "' ESCAPE '\\'";
    } else if (instance) {
      if (value.size() > kMaxInstanceLength) continue;
      const bool had_star = to_like_pattern(value, like);
      if (!had_star && like.find_first_of("/=") == std::string::npos) continue;
      // The wildcard is only accepted at the end.
      const std::size_t percent = like.find('%');
      if (percent != std::string::npos && percent + 1 != like.size()) continue;
      term += relation == EQUAL ? " LIKE '" : " NOT LIKE '";
      append_quoted_body(term, like);
      term += "' ESCAPE '\\' ";
    } else if (time) {
      if (!is_time_value(value)) return false;
      term.append(op).append("DATETIME (");
      term.append(value, 0, 4).append("-").append(value, 4, 2).append("-");
      term.append(value, 6, 2).append(" ").append(value, 8, 2).append(":");
      term.append(value, 10, 2).append(":").append(value, 12, 2);
      term += ") YEAR to SECOND";
    } else {
      term.append(op).append("'");
      append_quoted_body(term, value);
      term += "'";
    }
    if (count == 0) {
      first.swap(term);
    } else {
      if (count == 1) joined.append("( ( ").append(first).append(" )");
      joined.append(" OR ( ").append(term).append(" )");
    }
    ++count;
  }

  if (count == 1) {
    sql += first;
  } else if (count > 1) {
    sql.append(joined).append(" )");
  }
  return true;
}
