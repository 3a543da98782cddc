#include "jni/messages.h"

#include <nl_types.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "jni/library_state.h"

namespace nxjni {
namespace {
constexpr const char* kDefaults[] = {
    nullptr,
    "init AlarmService already done",
    "Failed to allocate AlarmService",
    "Error: the log does not exist or the MIS is not accessible",
    "Error while loading alarms",
    "Error: some alarms could not be cleared",
    "Error: NULL array of AlarmRecordId",
    "Error: operation failed for some alarms",
    "Error: Failed to delete some alarms",
    "Failed to allocated AlarmFilter",
    "Error: getting javaVM",
    "Error: Can not attach CurrentThread",
    "Invalid Severity",
    "Alarm2record: unknown attribute",
    "Failed to allocate Filter",
    "Can not parse the log",
    "Invalid value for logRecordId",
    "Error: id2AttributeId",
    "AlarmLogImpl.init has not been called: the alarm service is not set up",
    "Invalid query: a filter, item or value is null",
    "Invalid query: a criterion cannot be turned into an SQL condition",
    "%s is not %s",
    "%s is not %s (the class could not be loaded)",
    "Refused: %s of %zu bytes (UTF-8) is longer than the %zu bytes allowed",
    "Refused: %s of %zu bytes (UTF-8) is longer than the %zu bytes allowed (or more)",
    "Refused: no memory to copy %s of %zu characters",
    "Refused: %s holds a NUL character, which no stored text keeps",
    "Refused: %s holds an unpaired surrogate, a half character that has no UTF-8 form",
    "Refused: a filter pattern on %s makes a LIKE pattern of %zu bytes (UTF-8, each '_' escaped), "
    "longer than the %zu bytes the database matches",
    "an ack, clear or display text",
    "a filter value",
    "a log name",
    "a MIS name",
    "a managed object name",
    "a record identifier",
    "an attribute name",
    "a server name",
    "a text",
    "Refused: the log name is null",
    "Refused: a purge needs a query with filters; to purge every record, give a filter that selects them all",
    "Refused: the history limit must be positive",
    "Error: the history could not be read: %s",
    "Error: the purge failed and deleted nothing: %s",
    "Refused: records cannot be ordered by %s",
    "Refused: a page holds 1 to 10000 records, not %s",
    "Refused: the page token cannot be used: %s",
};
constexpr int kMessageCount = sizeof(kDefaults) / sizeof(kDefaults[0]) - 1;
static_assert(kMessageCount == kLastMessage, "every message number has a default text");
std::once_flag catalog_once;
}  // namespace

void open_catalog() {
  std::call_once(catalog_once, [] { alarm_catd = catopen(kCatalogName, 0); });
}

const char* default_text(int number) {
  return number >= 1 && number <= kMessageCount ? kDefaults[number] : nullptr;
}

const char* catalog_text(Message m) {
  // catgets hands back the default itself for an unopened catalog.
  return catgets(alarm_catd, kCatalogSet, m, default_text(m));
}

std::string conversions_of(const char* text) {
  std::string out;
  for (const char* p = std::strchr(text, '%'); p; p = std::strchr(p, '%')) {
    ++p;
    if (*p == '%') {
      ++p;
      continue;
    }
    const char* start = p - 1;
    while (*p && std::strchr("-+ #0123456789.hlLqjzt", *p)) ++p;
    if (!*p || std::strchr("diouxXeEfFgGaAcsp", *p) == nullptr) return "?";  // '$', '*', 'n', or cut off
    ++p;
    out.append(start, static_cast<std::size_t>(p - start));
  }
  return out;
}

std::string catalog_format(Message m, ...) {
  const char* fallback = default_text(m);
  if (!fallback) return std::string();
  const char* format = catalog_text(m);
  if (format != fallback && conversions_of(format) != conversions_of(fallback)) format = fallback;
  va_list args;
  va_start(args, m);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out;
  if (n > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, again);
    out.assign(buffer.data(), static_cast<std::size_t>(n));
  }
  va_end(again);
  return out;
}

}  // namespace nxjni
