// The embedded MIS: operations that are not part of the client interface.
//
// Alarms enter the logs as the MIS logs alarm notifications: raise_alarm
// emits one, the MIS gives it a log record id, notification id and logging
// time, stores it in the log's table and emits OBJECT_CREATED for it.
#pragma once

#include <string>
#include <vector>

namespace nxmp_mis {

struct AlarmNotification {
  std::string log_id;          // the log that takes it; empty: every log
  bool log_is_number = false;  // the log id is an integer log id
  std::string event_type;      // registry name, e.g. communicationsAlarm
  std::string severity;        // indeterminate, critical, major, minor, warning, cleared
  std::string moi;             // managed object name text (/systemId=.../...)
  std::string moc;             // managed object class name
  std::string probable_cause;  // a number (local value), a registry name or { 2 9 ... }
  std::string additional_text;
  std::string event_time;      // fourteen digits of local time; empty: the logging time
};

struct RaiseResult {
  bool ok = false;
  std::string error;                // why not, when !ok
  std::vector<long> record_ids;     // the record id in each log that took it
};

// Through the default platform; fails when the MIS is not reachable or the
// notification is not a valid alarm.
// Threads of one process that raise at the same time share commits: each
// returns once its alarm is committed, with the alarms that came while the
// previous commit ran.
RaiseResult raise_alarm(const AlarmNotification& notification);

// Many alarms in one transaction, logged and journalled in the order given;
// one result per notification. A notification that is not a valid alarm, or
// names no log of this MIS, fails alone and the others are logged; a failure
// of the database fails them all and logs none.
struct BatchRaiseResult {
  bool ok = false;                  // the valid alarms are committed
  std::string error;                // why none is, when !ok
  std::vector<RaiseResult> results;  // one per notification, in order
};
BatchRaiseResult raise_alarms(const std::vector<AlarmNotification>& notifications);

// Stops the event thread and closes the MIS connection; the next
// Platform::default_platform() connects again (with the environment then
// current). Handles obtained before stay unconnected.
void shutdown();

// The number of notifications waiting to be delivered in this process.
std::size_t pending_events();

}  // namespace nxmp_mis
