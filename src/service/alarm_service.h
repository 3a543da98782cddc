// AlarmService: the one object through which the native methods reach the
// alarm logs: the platform connection and its event subscriptions, the
// watched logs, the callback lists, and the front for reads, counts, and
// every write: state changes, clears and deletes.
//
// Registries (watched logs, callback lists) are read by the platform's event
// thread and changed by native calls on other threads; a guard of their own
// keeps them consistent, and the event handlers work on copies.
#pragma once

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "model/alarm_attribute.h"
#include "db/record_fields.h"
#include "model/alarm_record.h"
#include "platform/management_platform.h"
#include "service/state_changes.h"

class AlarmQuery;
class DatabaseImpl;

class AlarmService {
 public:
  AlarmService();
  ~AlarmService();
  AlarmService(const AlarmService&) = delete;
  AlarmService& operator=(const AlarmService&) = delete;

  static Platform get_platform();
  int get_moid(const std::string& object_name) const;

  bool is_initialized() const { return initialized; }
  bool operator==(const AlarmService& other) const { return mis == other.mis; }

  bool add_log(const std::string& log_name);
  void remove_log(const std::string& log_name);
  std::list<std::string> find_logs(const std::string& mis_name) const;
  // A copy: the list may change on another thread once returned.
  std::list<std::string> get_interested_logs() const;

  void register_add_logrecord_callback(Callback* cb);
  void register_remove_logrecord_callback(Callback* cb);
  void register_change_logrecord_callback(Callback* cb);
  // Events were lost (the platform removed them before this process read
  // them): run for each watched log with a record naming the log only.
  void register_resync_callback(Callback* cb);
  // After each run of events the platform delivered at once; the argument
  // is null. Lets a callback that gathers events pass them on together.
  void register_run_end_callback(Callback* cb);

  // Run a list's callbacks in order, then destroy the argument (may be null).
  void execute_add_logrecord_callback(AlarmRecord* record);
  void execute_remove_logrecord_callback(AlarmRecord* record);
  void execute_change_logrecord_callback(AlarmRecord* record);
  void execute_resync_callback(AlarmRecord* record);

  // The wanted attributes of the matching records of one log (all when the
  // query has no filters), handed to sink one record at a time as they are
  // read, as the texts the records' attribute maps would hold: a caller that
  // passes them on holds one record, not the log. sink returns false to stop
  // the read. False when not initialised, the condition cannot be made, or
  // the read failed (records already handed over stay handed over).
  bool stream_alarm_fields(const std::string& log_name, const AlarmQuery& query,
                           const std::vector<AlarmAttributeId>& wanted,
                           const std::function<bool(const RecordFields&)>& sink);

  int get_alarm_record_count(const AlarmQuery& query);
  int get_alarm_record_count(const std::string& log_name, const AlarmQuery& query);
  int get_alarm_record_count();
  int get_alarm_record_count(const std::string& log_name);

  std::string get_mis_name() const;

  // Acknowledges, clears or displays the named records of a log, or takes
  // that back (names as a client gives them: see record_object_name). The
  // text of ids[i] is texts[i]; ids beyond the texts get none. One time and
  // operator_name() for the whole call. Every record is tried: returns the
  // ids whose change could not be stored (unknown records, values the MIS
  // refuses), in order; all of them when the service is not initialised or
  // the database failed, which leaves every record as it was (one
  // transaction per call: the changes are durable together on return).
  std::vector<std::string> change_state(StateChange change, const std::string& mis_name,
                                        const std::string& log_name,
                                        const std::vector<std::string>& ids,
                                        const std::vector<std::string>& texts);
  bool send_clear(const std::string& log_name, const std::list<std::string>& ids);
  bool delete_alarm_records(const std::string& log_name, const std::list<std::string>& ids);

  // Platform event handlers: the functions given to Platform::when, and the
  // members they call with the event pointer.
  static void nx_add_cb(void* client_data, void* event);
  static void nx_delete_cb(void* client_data, void* event);
  static void nx_attr_cb(void* client_data, void* event);
  static void nx_lost_cb(void* client_data, void* event);
  static void nx_run_end_cb(void* client_data, void* event);
  void nx_add_cb(void* event);
  void nx_delete_cb(void* event);
  void nx_attr_cb(void* event);
  void nx_lost_cb(void* event);

  static Platform alarmplat;
  // This process's MIS, set once when the service is made.
  std::string mis;

 private:
  using CallbackList = std::list<Callback*>;
  void register_callback(CallbackList& list, Callback* cb);
  void execute(const CallbackList& list, void* argument);
  std::list<std::string> logs_snapshot() const;
  bool watched(const std::string& log_name) const;
  int count(const std::list<std::string>& logs, const std::string& condition);

  std::unordered_set<std::string> record_classes;
  bool initialized = false;
  std::unique_ptr<DatabaseImpl> database;
  std::list<std::string> interested_logs;
  CallbackList add_logrecord_callbacks;
  CallbackList remove_logrecord_callbacks;
  CallbackList change_logrecord_callbacks;
  CallbackList resync_callbacks;
  CallbackList run_end_callbacks;
  // Guards the registries above; never held while callbacks run.
  mutable std::mutex registry_mu_;
  // The subscriptions, alive as long as the service.
  std::vector<std::unique_ptr<Callback>> subscriptions_;
};
