#include "query/record_order.h"

#include <cstring>

#include "platform/alarm_database.h"

namespace {

struct Orderable {
  const char* attribute;
  const char* column;  // null for the severity rank
  OrderKind kind;
};

constexpr Orderable kOrderable[] = {
    {"eventTime", "eventtime", OrderKind::kTime},
    {"loggingTime", "loggingtime", OrderKind::kTime},
    {"ackTime", "acktime", OrderKind::kTime},
    {"clearTime", "cleartime", OrderKind::kTime},
    {"displayTime", "displaytime", OrderKind::kTime},
    {"perceivedSeverity", nullptr, OrderKind::kRank},
    {"logRecordId", "logrecordid", OrderKind::kId},
};

const Orderable* find_orderable(const std::string& attribute) {
  for (const Orderable& o : kOrderable) {
    if (attribute == o.attribute) return &o;
  }
  return nullptr;
}

OrderKey key_of(const Orderable& o, bool descending) {
  switch (o.kind) {
    case OrderKind::kTime:
      return {o.attribute, o.kind, nxdb::time_order_key(o.column), descending};
    case OrderKind::kRank:
      return {o.attribute, o.kind, nxdb::severity_rank_key(), descending};
    case OrderKind::kId:
      break;
  }
  return {o.attribute, o.kind, o.column, descending};
}

}  // namespace

bool RecordOrder::add(const std::string& attribute, bool descending) {
  const Orderable* o = find_orderable(attribute);
  if (!o) return false;
  for (const OrderKey& k : keys_) {
    if (attribute == k.attribute) return false;
    // The id already ends the order; a key after it changes nothing.
    if (k.kind == OrderKind::kId) return true;
  }
  keys_.push_back(key_of(*o, descending));
  rebuild();
  return true;
}

void RecordOrder::rebuild() {
  full_ = keys_;
  if (!full_.empty() && full_.back().kind == OrderKind::kId) return;
  const bool descending = !keys_.empty() && keys_.front().descending;
  full_.push_back(key_of(kOrderable[sizeof kOrderable / sizeof kOrderable[0] - 1], descending));
}

std::string RecordOrder::value_column(std::size_t key) { return "nxorder" + std::to_string(key); }

std::string RecordOrder::select_list() const {
  std::string out;
  for (std::size_t i = 0; i < keys().size(); ++i) {
    if (i) out += ", ";
    out += keys()[i].expression + " AS " + value_column(i);
  }
  return out;
}

std::string RecordOrder::order_by() const {
  std::string out;
  for (const OrderKey& k : keys()) {
    if (!out.empty()) out += ", ";
    out += k.expression + (k.descending ? " DESC" : " ASC");
  }
  return out;
}

std::string RecordOrder::describe() const {
  std::string out;
  for (const OrderKey& k : keys()) {
    if (!out.empty()) out += ',';
    out += k.attribute;
    out += k.descending ? " desc" : " asc";
  }
  return out;
}

std::string RecordOrder::after_condition(std::size_t values, int first_param, bool inclusive) const {
  const std::vector<OrderKey>& k = keys();
  if (values != k.size() || k.empty()) return {};
  const auto param = [&](std::size_t i) { return "?" + std::to_string(first_param + static_cast<int>(i)); };
  const auto beyond = [&](std::size_t i) { return std::string(k[i].descending ? " <" : " >"); };
  // Built from the last key outwards: key i is beyond the value, or equal to
  // it and the rest is after.
  std::string rest = k.back().expression + beyond(k.size() - 1) + (inclusive ? "= " : " ") + param(k.size() - 1);
  rest = k.size() == 1 ? rest : "(" + rest + ")";
  for (std::size_t i = k.size() - 1; i-- > 0;) {
    rest = "(" + k[i].expression + beyond(i) + " " + param(i) + " OR (" + k[i].expression + " = " + param(i) +
           " AND " + rest + "))";
  }
  if (k.size() == 1) return rest;
  // The same bound on the first key alone, so that the database starts an
  // index range at the last page's end instead of scanning to it.
  return "(" + k[0].expression + beyond(0) + "= " + param(0) + " AND " + rest + ")";
}

int RecordOrder::compare(const std::vector<OrderValue>& a, const std::vector<OrderValue>& b) const {
  const std::vector<OrderKey>& k = keys();
  for (std::size_t i = 0; i < k.size() && i < a.size() && i < b.size(); ++i) {
    int c = 0;
    if (k[i].kind == OrderKind::kTime) {
      c = a[i].time.compare(b[i].time);
      c = c < 0 ? -1 : c > 0 ? 1 : 0;
    } else {
      c = a[i].number < b[i].number ? -1 : a[i].number > b[i].number ? 1 : 0;
    }
    if (c != 0) return k[i].descending ? -c : c;
  }
  return 0;
}

bool order_time_digits(const std::string& cell, std::string& digits) {
  digits.clear();
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (cell.size() == 14) {
    for (char c : cell) {
      if (!digit(c)) return false;
    }
    digits = cell;
    return true;
  }
  // YYYY-MM-DD HH:MM:SS
  static const char kForm[] = "dddd-dd-dd dd:dd:dd";
  if (cell.size() != sizeof kForm - 1) return false;
  for (std::size_t i = 0; i < cell.size(); ++i) {
    if (kForm[i] == 'd' ? !digit(cell[i]) : cell[i] != kForm[i]) {
      digits.clear();
      return false;
    }
    if (kForm[i] == 'd') digits += cell[i];
  }
  return true;
}

std::string order_time_text(const std::string& d) {
  if (d.size() != 14) return {};
  return d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + " " + d.substr(8, 2) + ":" +
         d.substr(10, 2) + ":" + d.substr(12, 2);
}
