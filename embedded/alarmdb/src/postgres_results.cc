#include "postgres_results.h"

#include "nxdb/lock_wait.h"

namespace nxdb::pg {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

ColumnKind kind_of_type(Oid type) {
  switch (type) {
    case kInt2Oid: case kInt4Oid: case kInt8Oid: case kOidOid: return ColumnKind::kInteger;
    case kTimestampOid: case kTimestampTzOid: return ColumnKind::kTime;
    case kByteaOid: return ColumnKind::kBlob;
    default: return ColumnKind::kText;
  }
}

std::string trimmed_message(const char* text) {
  std::string m = text != nullptr ? text : "";
  while (!m.empty() && (m.back() == '\n' || m.back() == ' ')) m.pop_back();
  return m;
}

std::string result_failure(const PGresult* r, PGconn* c, int lock_wait_seconds) {
  if (r == nullptr) return trimmed_message(PQerrorMessage(c));
  const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
  const std::string code = state != nullptr ? state : "";
  std::string message;
  if (code == "55P03") {
    message = busy_message(lock_wait_seconds);
  } else if (code == "25006") {
    message = read_only_message(trimmed_message(PQresultErrorMessage(r)));
  } else {
    return trimmed_message(PQresultErrorMessage(r));
  }
  note_failure(message);
  return message;
}

bool decode_bytea(std::string_view text, std::string& out) {
  out.clear();
  if (text.size() < 2 || text[0] != '\\' || text[1] != 'x' || text.size() % 2 != 0) return false;
  out.reserve((text.size() - 2) / 2);
  for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
    const int hi = hex_value(text[i]), lo = hex_value(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

}  // namespace nxdb::pg
