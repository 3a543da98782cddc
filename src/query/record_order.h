// RecordOrder: the order keys of a query and the SQL that reads records in
// that order, a page at a time, from where the last page stopped (keyset:
// the last record's key values, never a count of rows to skip).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class OrderKind : std::uint8_t { kTime = 0, kRank = 1, kId = 2 };

struct OrderKey {
  const char* attribute;    // the attribute name ("eventTime", ...)
  OrderKind kind;
  std::string expression;   // what the SQL sorts by (never NULL)
  bool descending;
};

// One key's value: a time as its fourteen digits (the no-time value
// "00010101000000" included), a rank or a record id as a number.
struct OrderValue {
  std::string time;
  long long number = 0;

  bool operator==(const OrderValue& o) const { return time == o.time && number == o.number; }
};

class RecordOrder {
 public:
  RecordOrder() { rebuild(); }

  // Appends a key; false (nothing added) for an attribute that cannot be
  // ordered by or is already a key. After "logRecordId" nothing is added:
  // the record id already makes the order total.
  bool add(const std::string& attribute, bool descending);

  // True when the query gave no keys: records come in table order.
  bool empty() const { return keys_.empty(); }
  // The keys with the record id last (in the direction of the first key, or
  // ascending when there is none), so that no two records tie.
  const std::vector<OrderKey>& keys() const { return full_; }

  // "expr AS nxorder0, ..." for every key, to read the values of the keys.
  std::string select_list() const;
  static std::string value_column(std::size_t key);
  // "expr DESC, ..., logrecordid DESC".
  std::string order_by() const;
  // The keys as a canonical text ("eventTime desc,logRecordId desc").
  std::string describe() const;

  // The condition that selects the records after `after` (one value per
  // key) in this order, with parameters ?first_param, ?first_param+1, ...
  // (one per key, each used as often as needed). inclusive: the record at
  // `after` itself is selected too. Empty when after has the wrong size.
  std::string after_condition(std::size_t values, int first_param, bool inclusive) const;

  // Compares two records' key values in this order: <0, 0 or >0.
  int compare(const std::vector<OrderValue>& a, const std::vector<OrderValue>& b) const;

 private:
  void rebuild();

  std::vector<OrderKey> keys_;
  std::vector<OrderKey> full_;
};

// The fourteen digits of a time cell ("YYYY-MM-DD HH:MM:SS" or already
// digits); false for anything else.
bool order_time_digits(const std::string& cell, std::string& digits);
// "YYYY-MM-DD HH:MM:SS" of fourteen digits, as a time is bound.
std::string order_time_text(const std::string& digits);
