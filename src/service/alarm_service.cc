#include "service/alarm_service.h"

#include <algorithm>

#include "db/database_impl.h"
#include "model/object_name.h"
#include "query/alarm_query.h"
#include "service/mis_impl.h"
#include "service/operator_name.h"

Platform AlarmService::alarmplat;

namespace {
constexpr std::size_t kRecordClassBuckets = 1024;
}

AlarmService::AlarmService() : record_classes(kRecordClassBuckets) {
  alarmplat = Platform::default_platform();
  if (alarmplat.get_connection_fd() == 0) return;
  if (!MisImpl::set_log_object_classes()) return;
  initialized = true;
  record_classes.insert("\"NX-ALARM\":nxInternetAlarmRecord");
  record_classes.insert("\"NX-ALARM\":nxAlarmRecord");
  record_classes.insert("\"NX Nerve Center\":nerveCenterAlarmRecord");
  mis = MisImpl::get_local_mis_name();
  database = std::make_unique<DatabaseImpl>();
  const std::pair<const DataUnit*, CallbackFunction> subscriptions[] = {
      {&nxmp::ATTR_CHANGED, &AlarmService::nx_attr_cb},
      {&nxmp::OBJECT_CREATED, &AlarmService::nx_add_cb},
      {&nxmp::OBJECT_DESTROYED, &AlarmService::nx_delete_cb},
      {&nxmp::EVENTS_LOST, &AlarmService::nx_lost_cb},
      {&nxmp::EVENT_RUN_END, &AlarmService::nx_run_end_cb},
  };
  for (const auto& [event, function] : subscriptions) {
    subscriptions_.push_back(std::make_unique<Callback>(function, this));
    alarmplat.when(*event, *subscriptions_.back());
  }
}

AlarmService::~AlarmService() {
  // Under the lock no event of ours is being handled, and none follows.
  HviLock hold;
  if (initialized) alarmplat.cancel_when(this);
  std::lock_guard<std::mutex> lock(registry_mu_);
  add_logrecord_callbacks.clear();
  remove_logrecord_callbacks.clear();
  change_logrecord_callbacks.clear();
  resync_callbacks.clear();
  run_end_callbacks.clear();
}

Platform AlarmService::get_platform() { return alarmplat; }

int AlarmService::get_moid(const std::string& object_name) const {
  std::string mis_name = mis;
  if (object_name.find("systemId") != std::string::npos) {
    // The MIS the name itself gives; a name that does not parse names no
    // MIS, so it matches no managed object rather than one of ours.
    std::optional<ObjectName> name = ObjectName::parse(object_name);
    if (!name) name = ObjectName::from_printed(object_name);
    const NameValue* system = name ? name->find("systemId") : nullptr;
    mis_name = system ? system->text() : std::string();
  }
  return DatabaseImpl::get_unique_moid(mis_name, object_name);
}

bool AlarmService::add_log(const std::string& log_name) {
  if (!initialized) return false;
  std::lock_guard<std::mutex> lock(registry_mu_);
  interested_logs.push_back(log_name);
  return true;
}

void AlarmService::remove_log(const std::string& log_name) {
  std::lock_guard<std::mutex> lock(registry_mu_);
  auto it = std::find(interested_logs.begin(), interested_logs.end(), log_name);
  if (it != interested_logs.end()) interested_logs.erase(it);
}

std::list<std::string> AlarmService::find_logs(const std::string& mis_name) const {
  return MisImpl::find_logs(DataUnit(mis_name));
}

std::list<std::string> AlarmService::get_interested_logs() const { return logs_snapshot(); }

std::list<std::string> AlarmService::logs_snapshot() const {
  std::lock_guard<std::mutex> lock(registry_mu_);
  return interested_logs;
}

bool AlarmService::watched(const std::string& log_name) const {
  std::lock_guard<std::mutex> lock(registry_mu_);
  return std::find(interested_logs.begin(), interested_logs.end(), log_name) !=
         interested_logs.end();
}

void AlarmService::register_callback(CallbackList& list, Callback* cb) {
  std::lock_guard<std::mutex> lock(registry_mu_);
  if (std::find(list.begin(), list.end(), cb) == list.end()) list.push_back(cb);
}

void AlarmService::register_add_logrecord_callback(Callback* cb) {
  register_callback(add_logrecord_callbacks, cb);
}
void AlarmService::register_remove_logrecord_callback(Callback* cb) {
  register_callback(remove_logrecord_callbacks, cb);
}
void AlarmService::register_change_logrecord_callback(Callback* cb) {
  register_callback(change_logrecord_callbacks, cb);
}
void AlarmService::register_resync_callback(Callback* cb) { register_callback(resync_callbacks, cb); }
void AlarmService::register_run_end_callback(Callback* cb) { register_callback(run_end_callbacks, cb); }

void AlarmService::execute(const CallbackList& list, void* argument) {
  // A copy: a callback may register another, or a native call may, meanwhile.
  CallbackList targets;
  {
    std::lock_guard<std::mutex> lock(registry_mu_);
    targets = list;
  }
  for (Callback* cb : targets) {
    if (cb != nullptr) cb->invoke(argument);
  }
}

void AlarmService::execute_add_logrecord_callback(AlarmRecord* record) {
  std::unique_ptr<AlarmRecord> owned(record);
  execute(add_logrecord_callbacks, record);
}
void AlarmService::execute_remove_logrecord_callback(AlarmRecord* record) {
  std::unique_ptr<AlarmRecord> owned(record);
  execute(remove_logrecord_callbacks, record);
}
void AlarmService::execute_change_logrecord_callback(AlarmRecord* record) {
  std::unique_ptr<AlarmRecord> owned(record);
  execute(change_logrecord_callbacks, record);
}

int AlarmService::count(const std::list<std::string>& logs, const std::string& condition) {
  int total = 0;
  bool ok = true;
  for (const std::string& log : logs) {
    int n = 0;
    if (!database->get_log_count_from_database(log, n, condition)) ok = false;
    total += n;
  }
  return ok ? total : -1;
}

bool AlarmService::stream_alarm_fields(const std::string& log_name, const AlarmQuery& query,
                                       const std::vector<AlarmAttributeId>& wanted,
                                       const std::function<bool(const RecordFields&)>& sink) {
  std::string condition;
  if (!initialized || !query.create_sql_filter(condition)) return false;
  return database->stream_log_fields(log_name, condition, wanted, sink);
}

int AlarmService::get_alarm_record_count(const AlarmQuery& query) {
  std::string condition;
  if (!initialized || !query.create_sql_filter(condition)) return -1;
  return count(logs_snapshot(), condition);
}

int AlarmService::get_alarm_record_count(const std::string& log_name, const AlarmQuery& query) {
  std::string condition;
  if (!initialized || !query.create_sql_filter(condition)) return -1;
  return count({log_name}, condition);
}

int AlarmService::get_alarm_record_count() {
  if (!initialized) return -1;
  return count(logs_snapshot(), std::string());
}

int AlarmService::get_alarm_record_count(const std::string& log_name) {
  if (!initialized) return -1;
  return count({log_name}, std::string());
}

std::string AlarmService::get_mis_name() const { return mis; }

std::vector<std::string> AlarmService::change_state(StateChange change, const std::string& mis_name,
                                                    const std::string& log_name,
                                                    const std::vector<std::string>& ids,
                                                    const std::vector<std::string>& texts) {
  if (!initialized) return ids;
  if (ids.empty()) return {};
  const std::string time = state_change_time();
  const std::string user = operator_name();
  // The whole call is one unit: a record the MIS does not know fails alone,
  // a failure of the database leaves every record as it was.
  Transaction unit(alarmplat);
  if (!unit.is_open()) return ids;
  std::vector<std::string> names;
  names.reserve(ids.size());
  for (const std::string& id : ids) names.push_back(record_object_name(mis_name, log_name, id));
  unit.read_ahead(names);
  std::vector<std::string> failed;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const std::string* text = i < texts.size() ? &texts[i] : nullptr;
    const AttributeValues values = state_change_values(change, text, time, user);
    if (!store_record_values(names[i], values)) failed.push_back(ids[i]);
  }
  if (!unit.commit()) return ids;
  return failed;
}

bool AlarmService::send_clear(const std::string& log_name, const std::list<std::string>& ids) {
  if (!initialized || ids.empty()) return false;
  // One unit: a record the MIS does not know fails alone, a failure of the
  // database stores none of the clears (the MIS makes a new managed-object
  // identity inside the unit).
  Platform platform = get_platform();
  Transaction unit(alarmplat);
  if (!unit.is_open()) return false;
  bool ok = true;
  for (const std::string& id : ids) {
    if (!MisImpl::send_clear_alarm(platform, log_name + "/logRecordId=" + id)) ok = false;
  }
  return unit.commit() && ok;
}

bool AlarmService::delete_alarm_records(const std::string& log_name,
                                        const std::list<std::string>& ids) {
  if (!initialized || ids.empty()) return false;
  Transaction unit(alarmplat);
  if (!unit.is_open()) return false;
  bool ok = true;
  for (const std::string& id : ids) {
    if (!MisImpl::delete_alarm(log_name + "/logRecordId=" + id)) ok = false;
  }
  return unit.commit() && ok;
}
