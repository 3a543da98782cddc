#include "jni/messages.h"

#include <nl_types.h>

#include <mutex>

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
};
constexpr int kMessageCount = sizeof(kDefaults) / sizeof(kDefaults[0]) - 1;
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

}  // namespace nxjni
