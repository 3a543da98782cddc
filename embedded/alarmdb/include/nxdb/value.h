// NXDBValue: one column of a fetched row; NXDBBlob: the bytes of a binary
// column.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "nxdb/backend.h"

class NXDBBlob {
 public:
  NXDBBlob() = default;
  NXDBBlob(const void* bytes, std::size_t length)
      : bytes_(static_cast<const char*>(bytes), length) {}

  // Length 0 means no blob.
  std::size_t length() const { return bytes_.size(); }
  const unsigned char* data() const {
    return reinterpret_cast<const unsigned char*>(bytes_.data());
  }
  std::string_view view() const { return bytes_; }

 private:
  friend class NXDBValue;
  std::string bytes_;
};

class NXDBValue {
 public:
  NXDBValue() = default;

  nxdb::CellType type() const { return type_; }
  bool isNull() const { return type_ == nxdb::CellType::kNull; }

  // The column as text: NULL gives the empty text, a time column its
  // fourteen-digit form YYYYMMDDHHMMSS, a blob its raw bytes.
  const std::string& text() const { return text_; }
  // The column as an integer: NULL and text that is not a whole decimal
  // number give 0 and false.
  bool toLong(long& out) const;

  const NXDBValue& operator>>(int& out) const;
  const NXDBValue& operator>>(long& out) const;
  const NXDBValue& operator>>(std::string& out) const;
  // Any non-NULL, non-blob value gives an empty blob.
  const NXDBValue& operator>>(NXDBBlob& out) const;

  // Filled by the row fetch; reuses this value's storage.
  void assign_null();
  void assign_int(long long value);
  void assign_text(std::string_view text, nxdb::ColumnKind kind);
  void assign_blob(std::string_view bytes);

 private:
  nxdb::CellType type_ = nxdb::CellType::kNull;
  long long int_ = 0;
  std::string text_;
};

namespace nxdb {
// "YYYY-MM-DD HH:MM:SS" to "YYYYMMDDHHMMSS"; any other text unchanged.
std::string stored_time_to_digits(std::string_view stored);
// "YYYYMMDDHHMMSS" to "YYYY-MM-DD HH:MM:SS"; false unless the input is 14
// digits of a valid time.
bool digits_to_stored_time(std::string_view digits, std::string& out);
}  // namespace nxdb
