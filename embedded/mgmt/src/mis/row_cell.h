// One value of a row to insert, as it is bound.
#pragma once

#include <string>
#include <utility>

namespace nxmp_mis {

struct RowCell {
  enum class Kind { kNull, kText, kInt, kBlob };
  Kind kind = Kind::kNull;
  std::string bytes;  // text or blob
  long long number = 0;

  static RowCell null() { return {}; }
  static RowCell text(std::string t) { return {Kind::kText, std::move(t), 0}; }
  static RowCell integer(long long n) { return {Kind::kInt, std::string(), n}; }
  static RowCell blob(std::string b) { return {Kind::kBlob, std::move(b), 0}; }
};

}  // namespace nxmp_mis
