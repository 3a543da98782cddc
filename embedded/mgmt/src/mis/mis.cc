#include "mis/mis.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <deque>
#include <unordered_map>

#include "metadata.h"
#include "mis/record_attributes.h"
#include "nxdb/unique_mo.h"
#include "nxdb/value.h"
#include "nxmp/asn1_type.h"
#include "nxmp/hvi_lock.h"
#include "nxmp/mis.h"
#include "nxmp/oid.h"

namespace nxmp_mis {
namespace {

constexpr std::uint32_t kLiveMagic = 0x4e58455a;  // "NXEZ"
constexpr std::size_t kFreedRemembered = 1024;
constexpr auto kPollInterval = std::chrono::milliseconds(50);
constexpr int kJournalBatch = 512;
// PostgreSQL wakes readers with a notification on this channel, whose
// payload is the journal key of the last entry committed.
constexpr const char* kJournalChannel = "nxmis_event";
// Even when woken by notifications, a reader looks at the journal this often
// (a writer that could not notify, a notification lost with a connection).
constexpr auto kJournalRecheck = std::chrono::seconds(5);
// Every reader records how far it got this often; entries that every live
// reader has seen are then removed. A reader not heard of for kReaderAlive
// no longer holds entries back, and the journal never keeps more than
// kJournalKeep entries.
constexpr auto kReaderHeartbeat = std::chrono::seconds(10);
constexpr long long kReaderAliveSeconds = 600;
constexpr long long kJournalKeep = 100000;

// How long the process's exit waits for the dispatcher to stop. It may be
// inside a callback that entered the Java VM, which parks such threads for
// good while the process exits: it is then left running, never joined.
constexpr auto kExitWait = std::chrono::milliseconds(500);

// Events being delivered, and the addresses of the last ones delivered, so
// that CurrentEvent can tell a stale pointer from a wild one. Never
// destroyed, like everything a dispatcher left running at exit may touch.
struct EventRegistry {
  std::mutex mu;
  std::unordered_map<const void*, std::shared_ptr<const Event>> live;
  std::deque<const void*> freed;
};
EventRegistry& events() {
  static auto* registry = new EventRegistry;
  return *registry;
}

std::timed_mutex g_mis_mu;
// Never destroyed: a static destructor must not stop (join) the MIS.
std::shared_ptr<Mis>& g_mis = *new std::shared_ptr<Mis>;
bool g_atexit_registered = false;
bool g_exiting = false;

std::string local_system_name() {
  const char* configured = std::getenv("NX_MIS_NAME");
  if (configured != nullptr && configured[0] != '\0') return configured;
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) return "localhost";
  return host;
}

std::string now_digits() {
  // The precise clock: time() reads a coarse one that can lag a few
  // milliseconds behind the clock clients compare with.
  std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &tm);
  return buf;
}

std::string bare(const std::string& name) {
  std::size_t colon = name.rfind(':');
  return colon == std::string::npos ? name : name.substr(colon + 1);
}

std::string registry_name(const char* item, const char* fallback) {
  const nxmp_meta::Entry* e = nxmp_meta::find(std::string_view(item));
  return e ? e->name : fallback;
}

bool safe_identifier(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  }
  return true;
}

// Runs a statement to its end; rows are ignored.
bool exec(nxdb::Backend& db, const std::string& sql, const std::vector<std::string>& params,
          std::string& error) {
  auto st = db.prepare(sql, error);
  if (!st) return false;
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (!st->bind_text(static_cast<int>(i) + 1, params[i])) {
      error = st->error();
      return false;
    }
  }
  nxdb::StepResult r;
  while ((r = st->step()) == nxdb::StepResult::kRow) {
  }
  if (r == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  return true;
}

// One integer of a query's first row (0 when NULL or no row).
bool query_long(nxdb::Backend& db, const std::string& sql, const std::vector<std::string>& params,
                long long& out, std::string& error) {
  auto st = db.prepare(sql, error);
  if (!st) return false;
  for (std::size_t i = 0; i < params.size(); ++i) st->bind_text(static_cast<int>(i) + 1, params[i]);
  nxdb::StepResult r = st->step();
  if (r == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  out = (r == nxdb::StepResult::kRow && st->cell_type(0) != nxdb::CellType::kNull) ? st->cell_int(0)
                                                                                  : 0;
  return true;
}

Asn1Value attribute_item(const std::string& name, const Asn1Value& value) {
  const nxmp_meta::Entry* e = nxmp_meta::find(std::string_view(name));
  if (e == nullptr || value.is_null()) return {};
  return Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, {e->oid.to_value(), value});
}

// Information of OBJECT_CREATED and OBJECT_DESTROYED: the attribute list.
Asn1Value attribute_list_info(const Values& values) {
  std::vector<Asn1Value> items;
  for (const auto& [name, text] : values) {
    const RecordAttribute* a = find_record_attribute(name);
    if (a == nullptr) continue;
    items.push_back(attribute_item(name, encode_value(*a, text)));
  }
  return Asn1Value::encode_constructed(
      Asn1Value::TAG_SEQ, {Asn1Value::encode_constructed(Asn1Value::TAG_SET, items)});
}

// Information of ATTR_CHANGED: attribute value changes, old and new.
Asn1Value value_change_info(const Values& before, const Values& after) {
  std::vector<Asn1Value> items;
  for (const auto& [name, text] : after) {
    const RecordAttribute* a = find_record_attribute(name);
    const nxmp_meta::Entry* e = nxmp_meta::find(std::string_view(name));
    if (a == nullptr || e == nullptr) continue;
    Asn1Value now = encode_value(*a, text);
    if (now.is_null()) continue;
    std::vector<Asn1Value> parts = {e->oid.to_value()};
    auto old = before.find(name);
    if (old != before.end()) {
      Asn1Value was = encode_value(*a, old->second);
      if (!was.is_null()) parts.push_back(Asn1Value::encode_tagged(Asn1Value::TAG_CTX1, was));
    }
    parts.push_back(Asn1Value::encode_tagged(Asn1Value::TAG_CTX2, now));
    items.push_back(Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, parts));
  }
  return Asn1Value::encode_constructed(
      Asn1Value::TAG_SEQ, {Asn1Value::encode_constructed(Asn1Value::TAG_SET, items)});
}

// The clearing user named by a clearOperator extension of additional
// information: the quoted text after "information".
std::string clear_operator_of(const std::string& additional_information) {
  std::size_t at = additional_information.find("clearOperator");
  if (at == std::string::npos) return {};
  at = additional_information.find("information", at);
  if (at == std::string::npos) return {};
  std::size_t open = additional_information.find('"', at);
  if (open == std::string::npos) return {};
  std::size_t close = open + 1;
  while (close < additional_information.size()) {
    if (additional_information[close] == '"') {
      if (close + 1 < additional_information.size() && additional_information[close + 1] == '"') {
        close += 2;
        continue;
      }
      break;
    }
    ++close;
  }
  if (close >= additional_information.size()) return {};
  auto text = unquote(additional_information.substr(open, close - open + 1));
  return text ? *text : std::string();
}

const nxdb::RecordType& record_type_for(const std::string& event_bare) {
  const auto& types = nxdb::alarm_record_types();
  if (event_bare == "internetAlarm") return types[1];
  if (event_bare == "nerveCenterAlarm") return types[2];
  return types[0];
}

}  // namespace

std::string Mis::record_class(const nxdb::RecordType& type) {
  std::string code = type.code;
  if (code == "nxInt") return registry_name("nxInternetAlarmRecord", "\"NX-ALARM\":nxInternetAlarmRecord");
  if (code == "NrvCt") {
    return registry_name("nerveCenterAlarmRecord", "\"NX Nerve Center\":nerveCenterAlarmRecord");
  }
  return registry_name("nxAlarmRecord", "\"NX-ALARM\":nxAlarmRecord");
}

std::shared_ptr<Mis> Mis::connect(std::string& error) {
  std::shared_ptr<Mis> mis(new Mis);
  mis->system_ = local_system_name();
  mis->application_ = "nxalarm-" + std::to_string(static_cast<long>(getpid()));
  NXDBConnectInfo info(mis->system_, NXDB_ALARM_LOG_SERVICE);
  mis->db_ = std::make_unique<NXDBInterface>(info, nxdb::OpenMode::kExisting);
  if (!mis->db_->isConnected()) {
    error = "cannot open the alarm database: " + mis->db_->lastError();
    return nullptr;
  }
  nxdb::Backend& db = *mis->db_->backend();
  if (!db.table_exists("log") || !db.table_exists("nxlog")) {
    error = "the alarm database has no log directory (run nxalarm-db init)";
    return nullptr;
  }
  const bool sqlite = db.dialect() == nxdb::Dialect::kSqlite;
  const std::string blob = db.column_type(nxdb::ColumnKind::kBlob);
  // PostgreSQL's CREATE TABLE IF NOT EXISTS is not safe against another
  // session creating the same table at the same moment (processes starting
  // together on a new database): a transaction-scoped advisory lock, taken
  // first in the one implicit transaction of this script, makes them queue.
  std::string ddl = std::string(sqlite ? "" : "SELECT pg_advisory_xact_lock(7236518);\n") +
                    "CREATE TABLE IF NOT EXISTS nxmis_event (\n  seq " +
                    (sqlite ? "INTEGER PRIMARY KEY AUTOINCREMENT" : "BIGSERIAL PRIMARY KEY") +
                    ",\n  kind TEXT NOT NULL,\n  objname TEXT NOT NULL,\n  objclass TEXT NOT NULL,\n"
                    "  info " + blob + "\n);\n"
                    "CREATE TABLE IF NOT EXISTS nxmis_app (\n  name TEXT NOT NULL PRIMARY KEY,\n"
                    "  special_events TEXT\n);\n"
                    "CREATE TABLE IF NOT EXISTS nxmis_reader (\n  name TEXT NOT NULL PRIMARY KEY,\n"
                    "  seq " + db.column_type(nxdb::ColumnKind::kInteger) + " NOT NULL,\n"
                    "  seen " + db.column_type(nxdb::ColumnKind::kInteger) + " NOT NULL\n);\n";
  // A read-only database is read as it is: with no journal (never written
  // through a MIS) there is nothing to deliver.
  mis->read_only_ = db.read_only();
  const bool journaled = !mis->read_only_ || db.table_exists("nxmis_event");
  if (!mis->read_only_ && !db.exec_script(ddl, error)) return nullptr;
  if (pipe(mis->wake_fd_) != 0) {
    error = "cannot make the connection's pipe";
    return nullptr;
  }
  fcntl(mis->wake_fd_[0], F_SETFD, FD_CLOEXEC);
  fcntl(mis->wake_fd_[1], F_SETFD, FD_CLOEXEC);
  if (!journaled) return mis;
  mis->reader_ = std::make_unique<NXDBInterface>(info, nxdb::OpenMode::kExisting);
  if (!mis->reader_->isConnected()) {
    error = "cannot open the alarm database: " + mis->reader_->lastError();
    return nullptr;
  }
  if (!sqlite && !mis->reader_->backend()->listen(kJournalChannel, error)) return nullptr;
  long long last = 0;
  if (!query_long(db, "SELECT MAX(seq) FROM nxmis_event", {}, last, error)) return nullptr;
  mis->delivered_seq_ = mis->local_seq_ = last;
  // Known to the pruning before the first entry is read, so that nothing
  // after `last` is removed before this process has seen it.
  mis->reader_name_ = mis->system_ + "/" + mis->application_ + "/" +
                      std::to_string(static_cast<long long>(std::time(nullptr)));
  if (!mis->read_only_ && !mis->record_progress(last, error)) return nullptr;
  mis->dispatcher_ = std::thread([m = mis.get()] { m->run_dispatcher(); });
  return mis;
}

Mis::~Mis() {
  stop();
  for (int& fd : wake_fd_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

int Mis::connection_fd() const {
  std::lock_guard<std::mutex> lock(queue_mu_);
  return stopping_ ? 0 : wake_fd_[0];
}

void Mis::stop() {
  {
    std::lock_guard<std::mutex> lock(queue_mu_);
    stopping_ = true;
  }
  queue_cv_.notify_all();
  if (dispatcher_.joinable()) {
    // A handler that ends the process runs on the dispatcher itself.
    if (dispatcher_.get_id() == std::this_thread::get_id()) {
      dispatcher_.detach();
    } else {
      dispatcher_.join();
      // Gone readers hold no journal entries back.
      std::string ignored;
      if (!read_only_) {
        exec(*reader_->backend(), "DELETE FROM nxmis_reader WHERE name = ?1", {reader_name_}, ignored);
      }
    }
  }
}

void Mis::stop_at_exit() {
  std::unique_lock<std::mutex> lock(queue_mu_);
  stopping_ = true;
  queue_cv_.notify_all();
  if (!dispatcher_.joinable()) return;
  if (dispatcher_.get_id() == std::this_thread::get_id()) {
    dispatcher_.detach();
    return;
  }
  const bool done = queue_cv_.wait_for(lock, kExitWait, [&] { return dispatcher_done_; });
  lock.unlock();
  // Never joined: the thread may still have the VM's detach or its own end
  // to go through, and either may wait on the exiting VM.
  dispatcher_.detach();
  if (!done || read_only_) return;
  // The reader connection is free again. Gone readers hold no journal
  // entries back; the exit does not wait for a lock to say so.
  std::string ignored;
  reader_->backend()->set_lock_wait(0);
  exec(*reader_->backend(), "DELETE FROM nxmis_reader WHERE name = ?1", {reader_name_}, ignored);
}

std::string Mis::system_object_name() const {
  ObjectRef ref;
  ref.system = system_;
  return format_object_name(ref);
}

std::string Mis::application_object_name() const {
  ObjectRef ref;
  ref.kind = ObjectRef::Kind::kApplication;
  ref.system = system_;
  ref.application = application_;
  return format_object_name(ref);
}

bool Mis::begin(std::string& error) {
  uncommitted_.clear();
  nxdb::Backend& db = *db_->backend();
  if (db.dialect() == nxdb::Dialect::kSqlite) return db.exec_script("BEGIN IMMEDIATE", error);
  // Changes are made one at a time, as SQLite's BEGIN IMMEDIATE does: journal
  // keys are then given in commit order, and a reader that has seen a key
  // has seen every smaller one. Readers of the journal are not blocked.
  if (!db.exec_script("BEGIN", error)) return false;
  if (!db.exec_script("LOCK TABLE nxmis_event IN EXCLUSIVE MODE", error)) {
    rollback();
    return false;
  }
  return true;
}

void Mis::rollback() {
  std::string ignored;
  db_->backend()->exec_script("ROLLBACK", ignored);
  uncommitted_.clear();
}

bool Mis::journal(const Notification& n, std::string& error) {
  auto st = db_->backend()->prepare(
      "INSERT INTO nxmis_event (kind, objname, objclass, info) VALUES (?1, ?2, ?3, ?4)", error);
  if (!st) return false;
  DataUnit ber = n.info.encoding();
  st->bind_text(1, n.kind);
  st->bind_text(2, n.objname);
  st->bind_text(3, n.objclass);
  st->bind_blob(4, ber.data(), ber.size());
  if (st->step() == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  uncommitted_.push_back(n);
  return true;
}

bool Mis::commit(std::string& error) {
  nxdb::Backend& db = *db_->backend();
  long long last = 0;
  if (!uncommitted_.empty() && !query_long(db, "SELECT MAX(seq) FROM nxmis_event", {}, last, error)) {
    rollback();
    return false;
  }
  // Sent with the commit: wakes the readers of every process.
  if (!uncommitted_.empty() && db.dialect() == nxdb::Dialect::kPostgres &&
      !exec(db, "SELECT pg_notify(?1, ?2)", {kJournalChannel, std::to_string(last)}, error)) {
    rollback();
    return false;
  }
  if (!db.exec_script("COMMIT", error)) {
    rollback();
    return false;
  }
  if (!uncommitted_.empty()) {
    {
      std::lock_guard<std::mutex> lock(queue_mu_);
      if (last > local_seq_) local_seq_ = last;
    }
    queue_cv_.notify_all();
  }
  uncommitted_.clear();
  return true;
}

bool Mis::locate(const ObjectRef& log, const nxdb::RecordType& type, std::string& table,
                 std::string& error) {
  table = nxdb::log_table_name(*db_, log.log_id, log.log_is_number, type.code);
  if (table.empty()) {
    error = "no such log: " + format_object_name(log_of(log));
    return false;
  }
  if (!safe_identifier(table)) {
    error = "the log directory names an unusable table: " + table;
    return false;
  }
  return true;
}

bool Mis::find_record(const ObjectRef& ref, RecordLocation& where, std::string& error) {
  if (ref.system != system_) {
    error = "not an object of this MIS: " + format_object_name(ref);
    return false;
  }
  for (const nxdb::RecordType& type : nxdb::alarm_record_types()) {
    std::string table;
    if (!locate(ref, type, table, error)) return false;
    long long n = 0;
    if (!query_long(*db_->backend(), "SELECT COUNT(*) FROM " + table + " WHERE logrecordid = ?1",
                    {std::to_string(ref.record_id)}, n, error)) {
      return false;
    }
    if (n > 0) {
      where.type = &type;
      where.table = table;
      return true;
    }
  }
  error = "no such object: " + format_object_name(ref);
  return false;
}

bool Mis::read_row(const RecordLocation& where, long record_id, Values& out, bool& found,
                   std::string& error) {
  auto st = db_->backend()->prepare("SELECT * FROM " + where.table + " WHERE logrecordid = ?1", error);
  if (!st) return false;
  st->bind_int(1, record_id);
  nxdb::StepResult r = st->step();
  if (r == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  found = r == nxdb::StepResult::kRow;
  if (!found) return true;
  for (int i = 0; i < st->column_count(); ++i) {
    const std::string column = st->column_name(i);
    for (const RecordAttribute& a : record_attributes()) {
      const char* c = column_of(a, *where.type);
      if (c == nullptr || column != c) continue;
      switch (st->cell_type(i)) {
        case nxdb::CellType::kNull:
        case nxdb::CellType::kBlob:
          break;
        case nxdb::CellType::kInteger:
          out[a.name] = std::to_string(st->cell_int(i));
          break;
        default:
          out[a.name] = st->column_kind(i) == nxdb::ColumnKind::kTime
                            ? nxdb::stored_time_to_digits(st->cell_text(i))
                            : std::string(st->cell_text(i));
      }
      break;
    }
  }
  return true;
}

bool Mis::load(const ObjectRef& ref, Values& out, std::string& objclass, std::string& error) {
  std::lock_guard<std::mutex> lock(write_mu_);
  out.clear();
  if (ref.system != system_) {
    error = "not an object of this MIS: " + format_object_name(ref);
    return false;
  }
  switch (ref.kind) {
    case ObjectRef::Kind::kSystem:
      out["systemId"] = "name : " + quote(system_);
      objclass = registry_name("system", "system");
      return true;
    case ObjectRef::Kind::kApplication: {
      if (auto kept = read_only_apps_.find(ref.application); kept != read_only_apps_.end()) {
        out["nxSpecialEvents"] = kept->second;
        objclass = "application";
        return true;
      }
      auto st = db_->backend()->prepare("SELECT special_events FROM nxmis_app WHERE name = ?1", error);
      if (!st) return false;
      st->bind_text(1, ref.application);
      nxdb::StepResult r = st->step();
      if (r == nxdb::StepResult::kError) {
        error = st->error();
        return false;
      }
      if (r == nxdb::StepResult::kRow && st->cell_type(0) != nxdb::CellType::kNull) {
        out["nxSpecialEvents"] = std::string(st->cell_text(0));
      }
      objclass = "application";
      return true;
    }
    case ObjectRef::Kind::kLog: {
      std::string table;
      if (!locate(ref, nxdb::alarm_record_types()[0], table, error)) return false;
      out["logId"] = ref.log_is_number ? "number : " + ref.log_id : "string : " + quote(ref.log_id);
      objclass = registry_name("log", "log");
      return true;
    }
    case ObjectRef::Kind::kRecord: {
      RecordLocation where;
      bool found = false;
      if (!find_record(ref, where, error) || !read_row(where, ref.record_id, out, found, error)) {
        return false;
      }
      if (!found) {
        error = "no such object: " + format_object_name(ref);
        return false;
      }
      objclass = record_class(*where.type);
      return true;
    }
  }
  return false;
}

bool Mis::update(const ObjectRef& ref, const Values& changes, std::string& error) {
  std::lock_guard<std::mutex> lock(write_mu_);
  if (ref.system != system_) {
    error = "not an object of this MIS: " + format_object_name(ref);
    return false;
  }
  if (ref.kind == ObjectRef::Kind::kApplication && read_only_) {
    // A client of a read-only database still says what it wants to hear;
    // no other process can be told, so it is kept here.
    auto it = changes.find("nxSpecialEvents");
    if (changes.size() != 1 || it == changes.end()) {
      error = "an application object has only nxSpecialEvents";
      return false;
    }
    read_only_apps_[ref.application] = it->second;
    return true;
  }
  if (!begin(error)) return false;
  if (ref.kind == ObjectRef::Kind::kApplication) {
    auto it = changes.find("nxSpecialEvents");
    if (changes.size() != 1 || it == changes.end()) {
      rollback();
      error = "an application object has only nxSpecialEvents";
      return false;
    }
    if (!exec(*db_->backend(),
              "INSERT INTO nxmis_app (name, special_events) VALUES (?1, ?2) "
              "ON CONFLICT (name) DO UPDATE SET special_events = excluded.special_events",
              {ref.application, it->second}, error) ||
        !journal({"ATTR_CHANGED", format_object_name(ref), "application", Asn1Value()}, error)) {
      rollback();
      return false;
    }
    return commit(error);
  }
  if (ref.kind != ObjectRef::Kind::kRecord) {
    rollback();
    error = "only log records and application objects can be changed";
    return false;
  }
  RecordLocation where;
  Values before;
  bool found = false;
  if (!find_record(ref, where, error) || !read_row(where, ref.record_id, before, found, error)) {
    rollback();
    return false;
  }
  std::string sql = "UPDATE " + where.table + " SET ";
  std::vector<std::pair<const nxdb::ColumnDef*, std::string>> sets;
  Values old_values, new_values;
  for (const auto& [name, text] : changes) {
    const RecordAttribute* a = find_record_attribute(name);
    const char* column = a ? column_of(*a, *where.type) : nullptr;
    if (column == nullptr || !a->settable) {
      rollback();
      error = "attribute " + name + " cannot be set on " + format_object_name(ref);
      return false;
    }
    if (!sets.empty()) sql += ", ";
    sql += std::string(column) + " = ?" + std::to_string(sets.size() + 1);
    sets.emplace_back(column_def(*where.type, column), text);
    auto old = before.find(name);
    if (old != before.end()) old_values[name] = old->second;
    if (old == before.end() || old->second != text) new_values[name] = text;
  }
  sql += " WHERE logrecordid = ?" + std::to_string(sets.size() + 1);
  auto st = db_->backend()->prepare(sql, error);
  if (!st) {
    rollback();
    return false;
  }
  for (std::size_t i = 0; i < sets.size(); ++i) {
    const int index = static_cast<int>(i) + 1;
    const std::string& text = sets[i].second;
    if (sets[i].first->kind == nxdb::ColumnKind::kTime) {
      std::string stored;
      if (text.empty()) {
        st->bind_null(index);
      } else if (nxdb::digits_to_stored_time(text, stored)) {
        st->bind_text(index, stored);
      } else {
        rollback();
        error = "not a time: " + text;
        return false;
      }
    } else {
      st->bind_text(index, text);
    }
  }
  st->bind_int(static_cast<int>(sets.size()) + 1, ref.record_id);
  if (st->step() == nxdb::StepResult::kError) {
    error = st->error();
    rollback();
    return false;
  }
  if (!new_values.empty() &&
      !journal({"ATTR_CHANGED", format_object_name(ref), record_class(*where.type),
                value_change_info(old_values, new_values)},
               error)) {
    rollback();
    return false;
  }
  return commit(error);
}

bool Mis::destroy(const ObjectRef& ref, std::string& error) {
  std::lock_guard<std::mutex> lock(write_mu_);
  if (ref.kind != ObjectRef::Kind::kRecord) {
    error = "only log records can be deleted";
    return false;
  }
  if (!begin(error)) return false;
  RecordLocation where;
  Values before;
  bool found = false;
  if (!find_record(ref, where, error) || !read_row(where, ref.record_id, before, found, error) ||
      !exec(*db_->backend(), "DELETE FROM " + where.table + " WHERE logrecordid = ?1",
            {std::to_string(ref.record_id)}, error) ||
      !journal({"OBJECT_DESTROYED", format_object_name(ref), record_class(*where.type),
                attribute_list_info(before)},
               error)) {
    rollback();
    return false;
  }
  return commit(error);
}

bool Mis::list_logs(std::vector<ObjectRef>& out, std::string& error) {
  auto st = db_->backend()->prepare("SELECT nxlogid, logidtype FROM log ORDER BY nxlogid", error);
  if (!st) return false;
  nxdb::StepResult r;
  while ((r = st->step()) == nxdb::StepResult::kRow) {
    ObjectRef log;
    log.kind = ObjectRef::Kind::kLog;
    log.system = system_;
    log.log_id = std::string(st->cell_text(0));
    log.log_is_number = st->cell_text(1) == "integer";
    out.push_back(log);
  }
  if (r == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  return true;
}

bool Mis::list_records(const ObjectRef& log,
                       std::vector<std::pair<ObjectRef, std::string>>& out, std::string& error) {
  std::lock_guard<std::mutex> lock(write_mu_);
  for (const nxdb::RecordType& type : nxdb::alarm_record_types()) {
    std::string table;
    if (!locate(log, type, table, error)) return false;
    auto st = db_->backend()->prepare("SELECT logrecordid FROM " + table + " ORDER BY logrecordid",
                                      error);
    if (!st) return false;
    while (st->step() == nxdb::StepResult::kRow) {
      ObjectRef rec = log_of(log);
      rec.kind = ObjectRef::Kind::kRecord;
      rec.record_id = static_cast<long>(st->cell_int(0));
      out.emplace_back(rec, record_class(type));
    }
  }
  return true;
}

bool Mis::clear_matching(const ObjectRef& log, const std::string& moi, const std::string& event_type,
                         const std::string& cause, const std::string& when, const std::string& op,
                         std::vector<Notification>& out, std::string& error) {
  std::string stored_when;
  nxdb::digits_to_stored_time(when, stored_when);
  for (const nxdb::RecordType& type : nxdb::alarm_record_types()) {
    std::string table;
    if (!locate(log, type, table, error)) return false;
    auto st = db_->backend()->prepare(
        "SELECT logrecordid, cleartime, clearoperator FROM " + table +
            " WHERE moi_s = ?1 AND eventname = ?2 AND probablecause_s = ?3 AND clearstate = ?4",
        error);
    if (!st) return false;
    st->bind_text(1, moi);
    st->bind_text(2, event_type);
    st->bind_text(3, cause);
    st->bind_text(4, "unCleared");
    std::vector<std::pair<long, Values>> matches;
    while (st->step() == nxdb::StepResult::kRow) {
      Values old{{"clearState", "unCleared"}};
      if (st->cell_type(1) != nxdb::CellType::kNull) {
        old["clearTime"] = nxdb::stored_time_to_digits(st->cell_text(1));
      }
      if (st->cell_type(2) != nxdb::CellType::kNull) old["clearOperator"] = std::string(st->cell_text(2));
      matches.emplace_back(static_cast<long>(st->cell_int(0)), old);
    }
    st.reset();
    for (const auto& [id, old] : matches) {
      if (!exec(*db_->backend(),
                "UPDATE " + table +
                    " SET clearstate = ?1, cleartime = ?2, clearoperator = ?3 WHERE logrecordid = ?4",
                {"cleared", stored_when, op, std::to_string(id)}, error)) {
        return false;
      }
      ObjectRef rec = log_of(log);
      rec.kind = ObjectRef::Kind::kRecord;
      rec.record_id = id;
      Values now{{"clearState", "cleared"}, {"clearTime", when}, {"clearOperator", op}};
      out.push_back({"ATTR_CHANGED", format_object_name(rec), record_class(type),
                     value_change_info(old, now)});
    }
  }
  return true;
}

bool Mis::log_notification(const std::string& event_type, const Asn1Value& info,
                           const std::string& moi, const std::string& moc,
                           const ObjectRef* log_filter, std::vector<long>& record_ids,
                           std::string& error) {
  const nxmp_meta::Entry* entry = nxmp_meta::find(std::string_view(event_type));
  if (entry == nullptr || entry->kind != nxmp_meta::EntryKind::Notification) {
    error = "unknown event type: " + event_type;
    return false;
  }
  const std::string event_bare = bare(entry->name);
  Asn1Type syntax = Asn1Type::lookup_type("eventInfo", "eventType", entry->oid.to_value());
  std::string notation;
  if (!syntax || info.is_null() || !syntax.format(info, notation)) {
    error = "the information is not of the syntax of " + event_bare;
    return false;
  }
  const nxdb::RecordType& type = record_type_for(event_bare);
  const std::string now = now_digits();
  Values row{{"eventType", event_bare},   {"managedObjectClass", moc},
             {"managedObjectInstance", moi}, {"eventTime", now},
             {"loggingTime", now},          {"ackState", "unAcked"},
             {"clearState", "unCleared"},   {"displayState", "unDisplayed"}};
  std::vector<Asn1Value> blob_items;
  for (const auto& [field, value] : split_fields(notation)) {
    const RecordAttribute* a = find_record_attribute(field);
    if (field == "notificationIdentifier") continue;  // the MIS numbers notifications
    if (a != nullptr && column_of(*a, type) != nullptr) {
      if (a->form == Form::kText) {
        // The formatted information quotes every text: unquoted once, and
        // anything else refused rather than stored as notation.
        auto text = unquote(value);
        if (!text) {
          error = "the " + field + " of the information is not a quoted text";
          return false;
        }
        row[field] = *text;
      } else {
        row[field] = value;
      }
      continue;
    }
    // No column: kept, encoded, in the row's blob.
    const nxmp_meta::Entry* attr = nxmp_meta::find(std::string_view(field));
    if (attr == nullptr) continue;
    Asn1Type attr_type = Asn1Type::lookup_type("attributeValue", "attributeId", attr->oid.to_value());
    Asn1Value encoded = attr_type ? attr_type.parse(value) : Asn1Value();
    if (!encoded.is_null()) blob_items.push_back(attribute_item(field, encoded));
  }
  const std::string cause = row.count("probableCause") ? row["probableCause"] : std::string();
  const bool clearing = row.count("perceivedSeverity") && row["perceivedSeverity"] == "cleared";
  std::string clear_op;
  if (clearing) {
    clear_op = clear_operator_of(row.count("additionalInformation") ? row["additionalInformation"] : "");
    row["clearState"] = "cleared";
    row["clearTime"] = now;
    row["clearOperator"] = clear_op;
  }
  // The object's identity first: it is kept by its own connection, which
  // would wait for our transaction.
  long moi_id = -1;
  {
    Asn1Value oi = fdn2oi(DataUnit(moi));
    if (!oi.is_null()) {
      // One identity connection per process: opening one per alarm costs a
      // server session each time on PostgreSQL.
      std::lock_guard<std::mutex> lock(identity_mu_);
      if (!identities_) {
        identities_ = std::make_unique<UniqueMO>(NXDBConnectInfo(system_, NXDB_ALARM_LOG_SERVICE),
                                                 true, 1000);
      }
      moi_id = identities_->get_unique_id(oi.encoding());
      // Made again next time: the database may have been unreachable.
      if (moi_id < 0) identities_.reset();
    }
  }
  const Asn1Value blob =
      blob_items.empty() ? Asn1Value() : Asn1Value::encode_constructed(Asn1Value::TAG_SEQ, blob_items);

  std::lock_guard<std::mutex> lock(write_mu_);
  std::vector<ObjectRef> logs;
  if (log_filter != nullptr) {
    logs.push_back(log_of(*log_filter));
  } else if (!list_logs(logs, error)) {
    return false;
  }
  if (logs.empty()) {
    error = "the MIS has no log to take the notification";
    return false;
  }
  if (!begin(error)) return false;
  std::vector<long> ids;
  for (const ObjectRef& log : logs) {
    std::string table;
    if (log.system != system_ || !locate(log, type, table, error)) {
      if (error.empty()) error = "not a log of this MIS: " + format_object_name(log);
      rollback();
      return false;
    }
    // Record and notification ids are unique within the log, over its tables.
    long long max_id = 0, max_notification = 0;
    for (const nxdb::RecordType& t : nxdb::alarm_record_types()) {
      std::string other;
      long long id = 0, notification = 0;
      if (!locate(log, t, other, error) ||
          !query_long(*db_->backend(), "SELECT MAX(logrecordid) FROM " + other, {}, id, error) ||
          !query_long(*db_->backend(), "SELECT MAX(notificationid) FROM " + other, {}, notification,
                      error)) {
        rollback();
        return false;
      }
      max_id = std::max(max_id, id);
      max_notification = std::max(max_notification, notification);
    }
    std::vector<Notification> cleared;
    if (clearing && !clear_matching(log, moi, event_bare, cause, now, clear_op, cleared, error)) {
      rollback();
      return false;
    }
    Values record = row;
    record["logRecordId"] = std::to_string(max_id + 1);
    record["notificationIdentifier"] = std::to_string(max_notification + 1);
    std::string columns, marks;
    std::vector<std::pair<const nxdb::ColumnDef*, std::string>> binds;
    for (const auto& [name, text] : record) {
      const RecordAttribute* a = find_record_attribute(name);
      const char* column = a ? column_of(*a, type) : nullptr;
      if (column == nullptr) continue;
      binds.emplace_back(column_def(type, column), text);
    }
    for (std::size_t i = 0; i < binds.size(); ++i) {
      columns += std::string(i ? ", " : "") + binds[i].first->name;
      marks += std::string(i ? ", " : "") + "?" + std::to_string(i + 1);
    }
    columns += ", logrectype, blob, moi_id";
    const std::size_t n = binds.size();
    marks += ", ?" + std::to_string(n + 1) + ", ?" + std::to_string(n + 2) + ", ?" + std::to_string(n + 3);
    auto st = db_->backend()->prepare("INSERT INTO " + table + " (" + columns + ") VALUES (" + marks + ")",
                                      error);
    if (!st) {
      rollback();
      return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
      const int index = static_cast<int>(i) + 1;
      const std::string& text = binds[i].second;
      switch (binds[i].first->kind) {
        case nxdb::ColumnKind::kTime: {
          std::string stored;
          if (!text.empty() && nxdb::digits_to_stored_time(text, stored)) {
            st->bind_text(index, stored);
          } else {
            st->bind_null(index);
          }
          break;
        }
        case nxdb::ColumnKind::kInteger:
          st->bind_int(index, std::atoll(text.c_str()));
          break;
        default:
          st->bind_text(index, text);
      }
    }
    st->bind_text(static_cast<int>(n) + 1, type.code);
    if (blob.is_null()) {
      st->bind_null(static_cast<int>(n) + 2);
    } else {
      DataUnit ber = blob.encoding();
      st->bind_blob(static_cast<int>(n) + 2, ber.data(), ber.size());
    }
    if (moi_id > 0) {
      st->bind_int(static_cast<int>(n) + 3, moi_id);
    } else {
      st->bind_null(static_cast<int>(n) + 3);
    }
    if (st->step() == nxdb::StepResult::kError) {
      error = st->error();
      rollback();
      return false;
    }
    for (const Notification& c : cleared) {
      if (!journal(c, error)) {
        rollback();
        return false;
      }
    }
    ObjectRef rec = log_of(log);
    rec.kind = ObjectRef::Kind::kRecord;
    rec.record_id = static_cast<long>(max_id + 1);
    if (!journal({"OBJECT_CREATED", format_object_name(rec), record_class(type),
                  attribute_list_info(record)},
                 error)) {
      rollback();
      return false;
    }
    ids.push_back(rec.record_id);
  }
  if (!commit(error)) return false;
  record_ids = ids;
  return true;
}

void Mis::subscribe(const std::string& kind, const Callback& cb) {
  std::lock_guard<std::mutex> lock(subs_mu_);
  subscriptions_.emplace_back(kind, cb);
}

void Mis::unsubscribe(void* client_data) {
  std::lock_guard<std::mutex> lock(subs_mu_);
  for (auto it = subscriptions_.begin(); it != subscriptions_.end();) {
    it = it->second.client_data() == client_data ? subscriptions_.erase(it) : it + 1;
  }
}

std::size_t Mis::pending() const {
  std::lock_guard<std::mutex> lock(queue_mu_);
  return local_seq_ > delivered_seq_ ? static_cast<std::size_t>(local_seq_ - delivered_seq_) : 0;
}

bool Mis::record_progress(long long seq, std::string& error) {
  return exec(*reader_->backend(),
              "INSERT INTO nxmis_reader (name, seq, seen) VALUES (?1, ?2, ?3) "
              "ON CONFLICT (name) DO UPDATE SET seq = excluded.seq, seen = excluded.seen",
              {reader_name_, std::to_string(seq), std::to_string(static_cast<long long>(std::time(nullptr)))},
              error);
}

void Mis::prune_journal() {
  nxdb::Backend& db = *reader_->backend();
  std::string error;
  const std::string alive =
      std::to_string(static_cast<long long>(std::time(nullptr)) - kReaderAliveSeconds);
  // Seen by every live reader, or beyond the bound; readers long gone are
  // forgotten.
  exec(db,
       "DELETE FROM nxmis_event WHERE seq <= (SELECT MIN(seq) FROM nxmis_reader WHERE seen >= ?1) "
       "OR seq <= (SELECT MAX(seq) FROM nxmis_event) - ?2",
       {alive, std::to_string(kJournalKeep)}, error);
  exec(db, "DELETE FROM nxmis_reader WHERE seen < ?1", {alive}, error);
}

bool Mis::wait_for_journal(long long& version, std::chrono::steady_clock::time_point& recheck) {
  nxdb::Backend& db = *reader_->backend();
  {
    std::unique_lock<std::mutex> lock(queue_mu_);
    if (stopping_) return false;
    // This process's own entries: read at once.
    if (local_seq_ > delivered_seq_) return true;
    if (db.dialect() == nxdb::Dialect::kSqlite) {
      queue_cv_.wait_for(lock, kPollInterval, [&] { return stopping_ || local_seq_ > delivered_seq_; });
      if (stopping_) return false;
      if (local_seq_ > delivered_seq_) return true;
    }
  }
  const auto now = std::chrono::steady_clock::now();
  if (now >= recheck) {
    recheck = now + kJournalRecheck;
    return true;
  }
  if (db.dialect() == nxdb::Dialect::kSqlite) {
    // Another connection committed: the only case worth a query.
    long long v = db.data_version();
    if (v == version && v >= 0) return false;
    version = v;
    return true;
  }
  std::vector<std::string> payloads;
  std::string error;
  if (!db.wait_notifications(static_cast<int>(kPollInterval.count()), payloads, error)) {
    // No server: wait before trying again rather than spin.
    if (!error.empty()) std::this_thread::sleep_for(kPollInterval);
    return false;
  }
  if (payloads.empty()) return true;  // reconnected: look for what was missed
  std::lock_guard<std::mutex> lock(queue_mu_);
  for (const std::string& p : payloads) {
    if (std::atoll(p.c_str()) > delivered_seq_) return true;
  }
  return false;
}

void Mis::run_dispatcher() {
  // Set however the loop ends, for an exit that waits a bounded time.
  struct Done {
    Mis* mis;
    ~Done() {
      std::lock_guard<std::mutex> lock(mis->queue_mu_);
      mis->dispatcher_done_ = true;
      mis->queue_cv_.notify_all();
    }
  } done{this};
  std::string error;
  long long version = -1;
  auto recheck = std::chrono::steady_clock::now() + kJournalRecheck;
  auto heartbeat = std::chrono::steady_clock::now() + kReaderHeartbeat;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(queue_mu_);
      if (stopping_) return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= heartbeat && !read_only_) {
      long long seen;
      {
        std::lock_guard<std::mutex> lock(queue_mu_);
        seen = delivered_seq_;
      }
      heartbeat = now + kReaderHeartbeat;
      record_progress(seen, error);
      prune_journal();
    }
    if (!wait_for_journal(version, recheck)) continue;
    long long after;
    {
      std::lock_guard<std::mutex> lock(queue_mu_);
      if (stopping_) return;
      after = delivered_seq_;
    }
    auto st = reader_->backend()->prepare(
        "SELECT seq, kind, objname, objclass, info FROM nxmis_event WHERE seq > ?1 ORDER BY seq "
        "LIMIT " + std::to_string(kJournalBatch),
        error);
    if (!st) {
      std::this_thread::sleep_for(kPollInterval);
      continue;
    }
    st->bind_int(1, after);
    std::vector<std::pair<long long, std::shared_ptr<Event>>> batch;
    while (st->step() == nxdb::StepResult::kRow) {
      auto e = std::make_shared<Event>();
      e->magic = kLiveMagic;
      e->kind = std::string(st->cell_text(1));
      e->objname = std::string(st->cell_text(2));
      e->objclass = std::string(st->cell_text(3));
      std::string_view ber = st->cell_blob(4);
      if (!ber.empty()) e->info = Asn1Value::decode(ber.data(), ber.size());
      batch.emplace_back(st->cell_int(0), std::move(e));
    }
    st.reset();
    for (auto& [seq, event] : batch) {
      deliver(*event);
      std::lock_guard<std::mutex> lock(queue_mu_);
      if (stopping_) return;
      delivered_seq_ = seq;
    }
    if (!batch.empty()) {
      queue_cv_.notify_all();
      // A full batch: more may follow at once.
      if (batch.size() == static_cast<std::size_t>(kJournalBatch)) recheck = {};
    }
  }
}

void Mis::deliver(const Event& event) {
  // The process-wide lock, without blocking shutdown: a thread that holds
  // it while the process exits must not keep the dispatcher from stopping.
  std::recursive_mutex& hvi = HviLock::mutex();
  while (!hvi.try_lock()) {
    std::unique_lock<std::mutex> lock(queue_mu_);
    if (queue_cv_.wait_for(lock, std::chrono::microseconds(200), [&] { return stopping_; })) return;
  }
  std::lock_guard<std::recursive_mutex> held(hvi, std::adopt_lock);
  // Chosen under the lock, so that a client that cancels its subscriptions
  // under the lock is never called afterwards.
  std::vector<Callback> targets;
  {
    std::lock_guard<std::mutex> lock(subs_mu_);
    for (const auto& [kind, cb] : subscriptions_) {
      if (kind == event.kind) targets.push_back(cb);
    }
  }
  if (targets.empty()) return;
  {
    // Nothing is called once stopping: at exit the callbacks' world (the
    // Java VM) may be gone.
    std::lock_guard<std::mutex> lock(queue_mu_);
    if (stopping_) return;
  }
  auto live = std::shared_ptr<const Event>(&event, [](const Event*) {});
  {
    std::lock_guard<std::mutex> lock(events().mu);
    events().live[&event] = live;
  }
  for (const Callback& cb : targets) cb.invoke(const_cast<Event*>(&event));
  std::lock_guard<std::mutex> lock(events().mu);
  events().live.erase(&event);
  events().freed.push_back(&event);
  if (events().freed.size() > kFreedRemembered) events().freed.pop_front();
}

std::shared_ptr<const Event> lookup_event(const void* pointer, bool& freed) {
  std::lock_guard<std::mutex> lock(events().mu);
  freed = false;
  auto it = events().live.find(pointer);
  if (it != events().live.end() && it->second->magic == kLiveMagic) return it->second;
  for (const void* p : events().freed) {
    if (p == pointer) freed = true;
  }
  return nullptr;
}

namespace {

// The process is ending: the dispatcher is told to stop and given a moment,
// and the connection is left as it is, since threads of the program may
// still be inside the library using it. A thread that holds g_mis_mu (a
// connection being made) is not waited for either.
void shutdown_at_exit() {
  std::unique_lock<std::timed_mutex> lock(g_mis_mu, std::defer_lock);
  if (!lock.try_lock_for(kExitWait)) return;
  g_exiting = true;
  std::shared_ptr<Mis> mis = g_mis;
  lock.unlock();
  if (mis) mis->stop_at_exit();
}

}  // namespace

std::shared_ptr<Mis> current_mis(std::string& error) {
  std::lock_guard<std::timed_mutex> lock(g_mis_mu);
  if (g_mis) return g_mis;
  if (g_exiting) {
    error = "the process is exiting";
    return nullptr;
  }
  g_mis = Mis::connect(error);
  if (g_mis && !g_atexit_registered) {
    g_atexit_registered = true;
    std::atexit(shutdown_at_exit);
  }
  return g_mis;
}

void shutdown() {
  std::shared_ptr<Mis> mis;
  {
    std::lock_guard<std::timed_mutex> lock(g_mis_mu);
    mis.swap(g_mis);
  }
  if (mis) mis->stop();
}

std::size_t pending_events() {
  std::lock_guard<std::timed_mutex> lock(g_mis_mu);
  return g_mis ? g_mis->pending() : 0;
}

}  // namespace nxmp_mis
