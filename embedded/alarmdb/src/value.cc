#include "nxdb/value.h"

#include <cctype>
#include <climits>

namespace {

bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

int two(std::string_view d, std::size_t at) { return (d[at] - '0') * 10 + (d[at + 1] - '0'); }

}  // namespace

namespace nxdb {

std::string stored_time_to_digits(std::string_view s) {
  if (s.size() != 19 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' ||
      s[16] != ':') {
    return std::string(s);
  }
  std::string digits;
  digits.reserve(14);
  for (std::size_t k = 0; k < s.size(); ++k) {
    if (k == 4 || k == 7 || k == 10 || k == 13 || k == 16) continue;
    if (!std::isdigit(static_cast<unsigned char>(s[k]))) return std::string(s);
    digits += s[k];
  }
  return digits;
}

bool digits_to_stored_time(std::string_view d, std::string& out) {
  if (d.size() != 14 || !all_digits(d)) return false;
  const int month = two(d, 4), day = two(d, 6), hour = two(d, 8), minute = two(d, 10),
            second = two(d, 12);
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) {
    return false;
  }
  out.assign(d.substr(0, 4));
  out += '-';
  out.append(d.substr(4, 2));
  out += '-';
  out.append(d.substr(6, 2));
  out += ' ';
  out.append(d.substr(8, 2));
  out += ':';
  out.append(d.substr(10, 2));
  out += ':';
  out.append(d.substr(12, 2));
  return true;
}

}  // namespace nxdb

bool NXDBValue::toLong(long& out) const {
  if (type_ == nxdb::CellType::kInteger) {
    out = static_cast<long>(int_);
    return true;
  }
  out = 0;
  if (type_ != nxdb::CellType::kText && type_ != nxdb::CellType::kReal) return false;
  std::string_view t = text_;
  bool negative = false;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  if (!all_digits(t)) return false;
  long value = 0;
  for (char c : t) {
    if (value > (LONG_MAX - (c - '0')) / 10) return false;
    value = value * 10 + (c - '0');
  }
  out = negative ? -value : value;
  return true;
}

const NXDBValue& NXDBValue::operator>>(int& out) const {
  long value = 0;
  toLong(value);
  out = value > INT_MAX || value < INT_MIN ? 0 : static_cast<int>(value);
  return *this;
}

const NXDBValue& NXDBValue::operator>>(long& out) const {
  toLong(out);
  return *this;
}

const NXDBValue& NXDBValue::operator>>(std::string& out) const {
  out = text_;
  return *this;
}

const NXDBValue& NXDBValue::operator>>(NXDBBlob& out) const {
  if (type_ == nxdb::CellType::kBlob) {
    out.bytes_ = text_;
  } else {
    out.bytes_.clear();
  }
  return *this;
}

void NXDBValue::assign_null() {
  type_ = nxdb::CellType::kNull;
  int_ = 0;
  text_.clear();
}

void NXDBValue::assign_int(long long value) {
  type_ = nxdb::CellType::kInteger;
  int_ = value;
  text_ = std::to_string(value);
}

void NXDBValue::assign_text(std::string_view text, nxdb::ColumnKind kind) {
  type_ = nxdb::CellType::kText;
  int_ = 0;
  if (kind == nxdb::ColumnKind::kTime) {
    text_ = nxdb::stored_time_to_digits(text);
  } else {
    text_.assign(text.data(), text.size());
  }
}

void NXDBValue::assign_blob(std::string_view bytes) {
  type_ = nxdb::CellType::kBlob;
  int_ = 0;
  text_.assign(bytes.data(), bytes.size());
}
