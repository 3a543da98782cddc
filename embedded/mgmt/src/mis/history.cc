// The record history: entries written in the changes' transactions, and
// read back by record or by log.
#include "mis/history.h"

#include <pthread.h>
#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <utility>

#include "mis/batch_rows.h"
#include "mis/history_key.h"
#include "mis/sql_helpers.h"
#include "nxdb/value.h"
#include "nxmp/history.h"

namespace nxmp_mis {
namespace {

// The three operator states, their time, operator and text attributes, and
// the kinds of entry that setting or resetting them makes.
struct StateGroup {
  const char* state;
  const char* time;
  const char* op;
  const char* text;
  const char* set_value;  // the state's value after ack, clear, display
  const char* set_kind;
  const char* reset_kind;
};

constexpr StateGroup kGroups[] = {
    {"ackState", "ackTime", "ackOperator", "ackText", "acked", "acked", "unacked"},
    {"clearState", "clearTime", "clearOperator", "clearText", "cleared", "cleared", "uncleared"},
    {"displayState", "displayTime", "displayOperator", "displayText", "displayed", "displayed",
     "undisplayed"},
};

std::string value_of(const Values& values, const char* name) {
  auto it = values.find(name);
  return it == values.end() ? std::string() : it->second;
}

// "ack/clear/display" states of a record.
std::string states_of(const Values& values) {
  return value_of(values, "ackState") + "/" + value_of(values, "clearState") + "/" +
         value_of(values, "displayState");
}

std::string now_digits() {
  // Made again only when the second changes: localtime_r looks the zone up
  // on every call, and a bulk reset stamps thousands of entries at once.
  thread_local std::time_t last = -1;
  thread_local std::string digits;
  const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  if (t != last) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &tm);
    digits = buf;
    last = t;
  }
  return digits;
}

// The login name of the effective user: the operator of changes that name
// none (unack, delete, ...), as the library names the operator of the rest.
std::string lookup_user() {
  struct passwd pw {};
  struct passwd* found = nullptr;
  char buffer[1024];
  if (getpwuid_r(geteuid(), &pw, buffer, sizeof buffer, &found) == 0 && found && found->pw_name) {
    return found->pw_name;
  }
  const char* login = getlogin();
  return login ? login : "";
}

// host/pid.
std::string lookup_origin() {
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  return std::string(host[0] ? host : "localhost") + "/" + std::to_string(static_cast<long>(getpid()));
}

// The writer's user and origin, looked up once per process (again after a
// fork): a bulk change writes thousands of entries, and the user lookup
// reads the password database. The first lookup is a static's
// initialisation, so threads that write their first entries at once do not
// race on it; a forked child, one thread at first, looks again.
struct Writer {
  pid_t pid = 0;
  std::string user, origin;
};

// Set in a forked child: asking getpid() for every entry was a system call
// per change.
std::atomic<bool> writer_stale{false};

const Writer& writer() {
  static Writer w = [] {
    Writer first{getpid(), lookup_user(), lookup_origin()};
    pthread_atfork(nullptr, nullptr, [] { writer_stale.store(true); });
    return first;
  }();
  if (writer_stale.exchange(false)) {
    w.user = lookup_user();
    w.origin = lookup_origin();
    w.pid = getpid();
  }
  return w;
}

struct Entry {
  Entry(const ObjectRef& r, const char* k, std::string b, std::string a)
      : record(&r), kind(k), before(std::move(b)), after(std::move(a)) {}
  const ObjectRef* record;
  const char* kind;
  std::string before, after, op, time, text;
  bool has_text = false;
  long by_record = 0;
};

bool write_entry(StatementSource& db, const Entry& e, std::string& error) {
#ifdef NX_HISTORY_OFF
  // Benchmark builds only: the same change without its entry.
  (void)db, (void)e, (void)error;
  return true;
#else
  static const std::string kInsert = insert_head("nxmis_history", kHistoryColumns) + row_marks(11, 1);
  std::unique_ptr<nxdb::Statement> owned;
  nxdb::Statement* st = db.statement(kInsert, owned, error);
  if (st == nullptr) return false;
  std::string stored;
  if (!nxdb::digits_to_stored_time(e.time, stored)) {
    error = "not a time: " + e.time;
    return false;
  }
  const std::string log = format_object_name(log_of(*e.record));
  st->bind_text(1, log);
  st->bind_int(2, e.record->record_id);
  st->bind_text(3, e.kind);
  if (e.before.empty()) st->bind_null(4); else st->bind_text(4, e.before);
  if (e.after.empty()) st->bind_null(5); else st->bind_text(5, e.after);
  st->bind_text(6, e.op.empty() ? writer().user : e.op);
  st->bind_text(7, stored);
  if (e.has_text) st->bind_text(8, e.text); else st->bind_null(8);
  st->bind_text(9, writer().origin);
  if (e.by_record > 0) st->bind_int(10, e.by_record); else st->bind_null(10);
  st->bind_int(11, history_log_key(log));
  if ((db.may_defer() ? st->step_deferred() : st->step()) == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  return true;
#endif
}

}  // namespace

const std::string& history_user() { return writer().user; }
const std::string& history_origin() { return writer().origin; }
std::string history_now_digits() { return now_digits(); }
std::string history_states(const Values& values) { return states_of(values); }

std::string history_ddl(nxdb::Backend& db) {
  const std::string integer = db.column_type(nxdb::ColumnKind::kInteger);
  const std::string check = db.time_check("time");
  return "CREATE TABLE IF NOT EXISTS nxmis_history (\n  seq " + db.identity_column() +
         ",\n  log TEXT NOT NULL,\n  log_key " + integer + " NOT NULL,\n  logrecordid " + integer +
         " NOT NULL,\n  kind TEXT NOT NULL,\n  state_before TEXT,\n  state_after TEXT,\n"
         "  operator TEXT,\n  time " + db.column_type(nxdb::ColumnKind::kTime) + " NOT NULL" +
         (check.empty() ? "" : " " + check) + ",\n  text TEXT,\n  origin TEXT NOT NULL,\n  by_record " +
         integer + "\n);\n" + kHistoryIndexes;
}

bool history_of_update(StatementSource& db, const ObjectRef& record, const Values& before,
                       const Values& changes, std::string& error) {
  // The states after the change, without copying the whole record.
  auto after_of = [&](const char* name) {
    auto changed = changes.find(name);
    return changed != changes.end() ? changed->second : value_of(before, name);
  };
  const std::string states_before = states_of(before);
  const std::string states_after =
      after_of("ackState") + "/" + after_of("clearState") + "/" + after_of("displayState");
  bool any = false;
  for (const StateGroup& g : kGroups) {
    auto state = changes.find(g.state);
    if (state == changes.end()) continue;
    any = true;
    Entry e(record, state->second == g.set_value ? g.set_kind : g.reset_kind, states_before,
            states_after);
    e.op = value_of(changes, g.op);
    // A reset empties the time: the entry takes the time of the change.
    e.time = value_of(changes, g.time);
    if (e.time.empty()) e.time = now_digits();
    auto text = changes.find(g.text);
    if (text != changes.end()) {
      e.text = text->second;
      e.has_text = true;
    }
    if (!write_entry(db, e, error)) return false;
  }
  if (any) return true;
  // Another attribute (a text, an operator) set on its own.
  Entry e(record, "changed", states_before, states_after);
  e.time = now_digits();
  return write_entry(db, e, error);
}

bool history_of_creation(StatementSource& db, const ObjectRef& record, const Values& values,
                         std::string& error) {
  Entry e(record, "created", std::string(), states_of(values));
  e.time = value_of(values, "loggingTime");
  if (e.time.empty()) e.time = now_digits();
  return write_entry(db, e, error);
}

bool history_of_clear_by(StatementSource& db, const std::string& table, const ObjectRef& record,
                         const std::string& when, const std::string& op, long by_record,
                         std::string& error) {
  // The record as the clear left it: only its clear state moved.
  std::unique_ptr<nxdb::Statement> owned;
  nxdb::Statement* st =
      db.statement("SELECT ackstate, displaystate FROM " + table + " WHERE logrecordid = ?1", owned, error);
  if (st == nullptr) return false;
  st->bind_int(1, record.record_id);
  if (st->step() != nxdb::StepResult::kRow) {
    error = st->error().empty() ? "no such record: " + format_object_name(record) : st->error();
    return false;
  }
  Values row{{"ackState", std::string(st->cell_text(0))}, {"displayState", std::string(st->cell_text(1))}};
  // Done with it before the entry's statement runs.
  st->reset();
  Values cleared = row;
  row["clearState"] = "unCleared";
  cleared["clearState"] = "cleared";
  Entry e(record, "clearedByNotification", states_of(row), states_of(cleared));
  e.op = op;
  e.time = when;
  e.by_record = by_record;
  return write_entry(db, e, error);
}

bool history_of_deletion(StatementSource& db, const ObjectRef& record, const Values& before,
                         std::string& error) {
  Entry e(record, "deleted", states_of(before), std::string());
  e.time = now_digits();
  return write_entry(db, e, error);
}

bool history_keeps_ids(nxdb::Backend& db, const ObjectRef& log, long long& max_id, std::string& error) {
  const std::string text = format_object_name(log_of(log));
  auto st = db.prepare("SELECT MAX(logrecordid) FROM nxmis_history WHERE log_key = ?1 AND log = ?2", error);
  if (!st) return false;
  st->bind_int(1, history_log_key(text));
  st->bind_text(2, text);
  const nxdb::StepResult r = st->step();
  if (r == nxdb::StepResult::kError) {
    error = st->error();
    return false;
  }
  if (r == nxdb::StepResult::kRow && st->cell_type(0) != nxdb::CellType::kNull && st->cell_int(0) > max_id) {
    max_id = st->cell_int(0);
  }
  return true;
}

bool history_retention_days(long& days, std::string& error) {
  days = 0;
  const char* text = std::getenv("NX_HISTORY_DAYS");
  if (text == nullptr || text[0] == '\0') return true;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < 1 || value > 1000000) {
    error = std::string("NX_HISTORY_DAYS is not a whole number of days from 1 to 1000000: ") + text;
    return false;
  }
  days = value;
  return true;
}

bool expire_history(nxdb::Backend& db, long days, std::string& error) {
  std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()) -
                  static_cast<std::time_t>(days) * 86400;
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return exec(db, "DELETE FROM nxmis_history WHERE time < ?1", {buf}, error);
}

bool Mis::read_history(const ObjectRef& log, long record_id, const std::string& since, long limit,
                       std::vector<HistoryEntry>& out, std::string& error) {
  std::lock_guard<std::mutex> lock(write_mu_);
  out.clear();
  if (log.system != system_) {
    error = "not an object of this MIS: " + format_object_name(log);
    return false;
  }
  nxdb::Backend& db = *db_->backend();
  // A read-only database never written through a MIS has no history.
  if (!db.table_exists("nxmis_history")) return true;
  // A writer brought the table to the keyed layout when it connected; a
  // read-only database may still have the earlier one.
  bool keyed = true;
  if (read_only_ && !history_has_log_key(db, keyed, error)) return false;
  // Parameters after the log's: ?2, ?3 with the key, ?1, ?2 without.
  const int shift = keyed ? 1 : 0;
  auto mark = [&](int n) { return "?" + std::to_string(n + shift); };
  std::string sql =
      "SELECT seq, log, logrecordid, kind, state_before, state_after, operator, time, text, origin, "
      "by_record FROM nxmis_history WHERE " + std::string(keyed ? "log_key = ?1 AND log = ?2" : "log = ?1");
  std::string stored_since;
  if (record_id > 0) {
    sql += " AND logrecordid = " + mark(2) + " ORDER BY seq";
  } else {
    if (!since.empty() && !nxdb::digits_to_stored_time(since, stored_since)) {
      error = "not a time: " + since;
      return false;
    }
    sql += stored_since.empty() ? " ORDER BY seq LIMIT " + mark(2)
                                : " AND time >= " + mark(2) + " ORDER BY seq LIMIT " + mark(3);
  }
  auto st = db.prepare(sql, error);
  if (!st) return false;
  const std::string text = format_object_name(log_of(log));
  if (keyed) st->bind_int(1, history_log_key(text));
  st->bind_text(1 + shift, text);
  if (record_id > 0) {
    st->bind_int(2 + shift, record_id);
  } else {
    if (stored_since.empty()) {
      st->bind_int(2 + shift, limit);
    } else {
      st->bind_text(2 + shift, stored_since);
      st->bind_int(3 + shift, limit);
    }
  }
  nxdb::StepResult r;
  while ((r = st->step()) == nxdb::StepResult::kRow) {
    HistoryEntry e;
    e.seq = st->cell_int(0);
    e.log = std::string(st->cell_text(1));
    e.record_id = static_cast<long>(st->cell_int(2));
    e.kind = std::string(st->cell_text(3));
    if (st->cell_type(4) != nxdb::CellType::kNull) e.state_before = std::string(st->cell_text(4));
    if (st->cell_type(5) != nxdb::CellType::kNull) e.state_after = std::string(st->cell_text(5));
    if (st->cell_type(6) != nxdb::CellType::kNull) e.op = std::string(st->cell_text(6));
    e.time = nxdb::stored_time_to_digits(st->cell_text(7));
    e.has_text = st->cell_type(8) != nxdb::CellType::kNull;
    if (e.has_text) e.text = std::string(st->cell_text(8));
    e.origin = std::string(st->cell_text(9));
    if (st->cell_type(10) != nxdb::CellType::kNull) e.by_record = static_cast<long>(st->cell_int(10));
    out.push_back(std::move(e));
  }
  if (r == nxdb::StepResult::kError) {
    error = st->error();
    out.clear();
    return false;
  }
  return true;
}

namespace {

HistoryResult read(const std::string& log_name, long record_id, const std::string& since, long limit) {
  HistoryResult result;
  std::optional<ObjectRef> log = parse_object_name(log_name);
  if (!log || (log->kind != ObjectRef::Kind::kLog && log->kind != ObjectRef::Kind::kRecord)) {
    result.error = "not a log name: " + log_name;
    return result;
  }
  std::shared_ptr<Mis> mis = current_mis(result.error);
  if (!mis) return result;
  result.ok = mis->read_history(log_of(*log), record_id, since, limit, result.entries, result.error);
  return result;
}

}  // namespace

HistoryResult record_history(const std::string& log_name, long record_id) {
  if (record_id <= 0) {  // no record has it
    HistoryResult none;
    none.ok = true;
    return none;
  }
  return read(log_name, record_id, std::string(), 0);
}

HistoryResult log_history(const std::string& log_name, const std::string& since, long limit) {
  if (limit <= 0) {
    HistoryResult refused;
    refused.error = "the limit must be positive";
    return refused;
  }
  return read(log_name, 0, since, limit);
}

}  // namespace nxmp_mis
