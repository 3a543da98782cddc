// nxalarm-db raise: logs alarm notifications through the embedded MIS, as a
// managed system would emit them.
#include "tools/nxalarm_db_raise.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "nxmp/mis.h"

namespace {

int raise_usage() {
  std::fprintf(stderr,
               "usage: nxalarm-db [--db LOCATION] raise --log ID [--number] --type EVENT_TYPE\n"
               "         --severity SEVERITY --moi NAME [--moc CLASS] [--cause CAUSE] [--text TEXT]\n"
               "         [--event-time YYYYMMDDhhmmss] [--count N]\n"
               "  EVENT_TYPE: communicationsAlarm, equipmentAlarm, processingErrorAlarm,\n"
               "              qualityofServiceAlarm, environmentalAlarm, ...\n"
               "  SEVERITY:   critical, major, minor, warning, indeterminate, cleared\n");
  return 2;
}

}  // namespace

int raise_command(const std::vector<std::string>& args, const std::string* location) {
  nxmp_mis::AlarmNotification n;
  long count = 1;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "--number") {
      n.log_is_number = true;
    } else if (!has_value) {
      return raise_usage();
    } else if (a == "--log") {
      n.log_id = args[++i];
    } else if (a == "--type") {
      n.event_type = args[++i];
    } else if (a == "--severity") {
      n.severity = args[++i];
    } else if (a == "--moi") {
      n.moi = args[++i];
    } else if (a == "--moc") {
      n.moc = args[++i];
    } else if (a == "--cause") {
      n.probable_cause = args[++i];
    } else if (a == "--text") {
      n.additional_text = args[++i];
    } else if (a == "--event-time") {
      n.event_time = args[++i];
    } else if (a == "--count") {
      char* end = nullptr;
      count = std::strtol(args[++i].c_str(), &end, 10);
      if (!end || *end || count < 1) return raise_usage();
    } else {
      return raise_usage();
    }
  }
  if (n.log_id.empty() || n.event_type.empty() || n.severity.empty() || n.moi.empty()) return raise_usage();
  // The MIS reaches the database the platform is configured for.
  if (location) setenv("NX_ALARM_DB", location->c_str(), 1);
  // Committed a thousand at a time: one transaction and one journal commit
  // per batch instead of per alarm.
  constexpr long kBatch = 1000;
  for (long done = 0; done < count;) {
    const long n_batch = std::min(kBatch, count - done);
    const nxmp_mis::BatchRaiseResult r =
        nxmp_mis::raise_alarms(std::vector<nxmp_mis::AlarmNotification>(static_cast<std::size_t>(n_batch), n));
    std::string error = r.ok ? std::string() : r.error;
    for (const nxmp_mis::RaiseResult& one : r.results) {
      if (error.empty() && !one.ok) error = one.error;
    }
    if (!error.empty()) {
      std::fprintf(stderr, "nxalarm-db: raise: %s\n", error.c_str());
      nxmp_mis::shutdown();
      return 1;
    }
    for (const nxmp_mis::RaiseResult& one : r.results) {
      for (long id : one.record_ids) std::printf("%ld\n", id);
    }
    done += n_batch;
  }
  nxmp_mis::shutdown();
  return 0;
}
