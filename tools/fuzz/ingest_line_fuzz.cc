// Feeds arbitrary bytes to the ingest line reader: it must never read out of
// bounds, and a line it takes has every field an alarm needs, NUL-free.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/nxalarm_db_ingest_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  nxmp_mis::AlarmNotification n;
  std::string error;
  if (parse_alarm_line(std::string_view(reinterpret_cast<const char*>(data), size), n, error)) {
    for (const std::string* required : {&n.log_id, &n.event_type, &n.severity, &n.moi, &n.moc, &n.probable_cause}) {
      if (required->empty() || required->find('\0') != std::string::npos) std::abort();
    }
    if (!n.event_time.empty() && n.event_time.size() != 14) std::abort();
  } else if (error.empty()) {
    std::abort();  // a refusal always says why
  }
  return 0;
}
