// Mis: this process's connection to the embedded MIS. Its objects live in
// the alarm database: logs in the log directory, log records in the logs'
// tables, application objects in nxmis_app. Every change is one transaction
// that also appends its notifications to the journal nxmis_event; the
// dispatcher thread reads the journal in order and runs the subscribed
// callbacks, so notifications of other processes reach this one as well.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "mis/journal_wake.h"
#include "mis/object_name.h"
#include "mis/statement_source.h"
#include "nxdb/interface.h"
#include "nxdb/schema.h"
#include "nxdb/unique_mo.h"
#include "nxmp/asn1_value.h"
#include "nxmp/callback.h"
#include "nxmp/data_unit.h"
#include "nxmp/history.h"

namespace nxmp_mis {

// One notification as delivered; callbacks get a pointer to it.
struct Event {
  std::uint32_t magic = 0;
  // OBJECT_CREATED, OBJECT_DESTROYED, ATTR_CHANGED; EVENTS_LOST (entries
  // were removed from the journal before this process read them) and
  // EVENT_RUN_END (after each block delivered) carry nothing else.
  std::string kind;
  std::string objname;
  std::string objclass;
  Asn1Value info;
};

// An information's top-level fields as its value notation splits into
// them (name, value notation), in order.
using InfoFields = std::vector<std::pair<std::string, std::string>>;

// What is known of an alarm's information without formatting it: the
// fields of its cause and severity, and its text.
struct KnownInfo {
  std::shared_ptr<const InfoFields> fields;  // null: nothing is known
  std::string text;                          // additionalText, bare, after fields; empty: none
};

// A notification to append to the journal.
struct Notification {
  std::string kind;
  std::string objname;
  std::string objclass;
  Asn1Value info;
};

// Attribute values of an object, by bare attribute name.
using Values = std::map<std::string, std::string>;

class PendingRows;  // batch_rows.h

struct RecordLocation {
  const nxdb::RecordType* type = nullptr;
  std::string table;
};

// A StatementSource for the history writers of its own members.
class Mis : private StatementSource {
 public:
  // Null with error set when the database cannot be opened or has no log
  // directory.
  static std::shared_ptr<Mis> connect(std::string& error);
  ~Mis();

  const std::string& system_name() const { return system_; }
  std::string system_object_name() const;
  std::string application_object_name() const;
  // Non-zero until stopped.
  int connection_fd() const;

  // Objects. False with error set on failure.
  bool load(const ObjectRef& ref, Values& out, std::string& objclass, std::string& error);
  bool update(const ObjectRef& ref, const Values& changes, std::string& error);
  bool destroy(const ObjectRef& ref, std::string& error);
  // The logs of the directory, as log references of this system.
  bool list_logs(std::vector<ObjectRef>& out, std::string& error);
  bool list_records(const ObjectRef& log, std::vector<std::pair<ObjectRef, std::string>>& out,
                    std::string& error);

  // Logs a notification of an event type with the given information from
  // the object moi of class moc into log_filter's log (all logs when null).
  // The record ids given, one per log, go to record_ids.
  bool log_notification(const std::string& event_type, const Asn1Value& info,
                        const std::string& moi, const std::string& moc,
                        const ObjectRef* log_filter, std::vector<long>& record_ids,
                        std::string& error, const std::string& event_time = std::string(),
                        const KnownInfo* known = nullptr);

  // Alarms logged in one transaction, in order (raise_batch.cc); in parts,
  // each committed on its own, when another connection waits for the
  // database meanwhile. An alarm naming no log of this MIS fails alone; a
  // failure of the database fails every one not yet committed (false, error
  // set).
  struct PendingAlarm {
    std::string event_type;
    Asn1Value info;
    std::string moi, moc, event_time;
    KnownInfo known;               // of info
    std::optional<ObjectRef> log;  // none: every log
    bool ok = false;
    std::string error;
    std::vector<long> record_ids;
  };
  bool log_alarms(const std::vector<PendingAlarm*>& alarms, std::string& error);

  // Units of work (Transaction): the changes this thread makes from the
  // outermost begin_unit to its end_unit are one database transaction;
  // inner units join it. Changes of other threads wait for the end. A change
  // that fails in the database fails the unit: later changes are refused and
  // the end undoes everything. end_unit with keep commits (the outermost;
  // false with error set when the unit failed or the commit did), without
  // keep undoes everything (an inner one: fails the unit).
  bool begin_unit(std::string& error);
  bool end_unit(bool keep, std::string& error);
  // Names the records the unit is about to change, in order: they are then
  // read a chunk at a time, in one statement per record table, instead of
  // one read each. Only a speed-up: names of no record of this MIS are left
  // to the change that names them. No-op outside this thread's unit.
  void read_ahead(const std::vector<ObjectRef>& records);

  // Subscriptions and delivery.
  void subscribe(const std::string& kind, const Callback& cb);
  void unsubscribe(void* client_data);
  std::size_t pending() const;
  // Stops and joins the dispatcher.
  void stop();
  // At the process's exit: tells the dispatcher to stop and waits only a
  // bounded time for it; never joins it and closes nothing.
  void stop_at_exit();

  // Record history (history.cc): a record's entries (record_id > 0), or the
  // log's at or after since, at most limit. Purge (purge.cc).
  bool read_history(const ObjectRef& log, long record_id, const std::string& since, long limit,
                    std::vector<HistoryEntry>& out, std::string& error);
  bool purge(const ObjectRef& log, const std::string& condition, long& deleted, std::string& error);

  // The class of records of a table type.
  static std::string record_class(const nxdb::RecordType& type);

 private:
  // The alarms from next on in one unit, until the end or until a waiting
  // connection is seen; next is left after the last one committed.
  bool log_part(const std::vector<PendingAlarm*>& alarms, std::size_t& next,
                std::map<std::string, bool>& known_logs, std::string& error);
  // After a part: a moment for the waiting connection to take the database.
  void give_way();
  Mis() = default;
  // begin, commit and rollback of one change; inside a unit of work begin
  // and commit join it, and rollback fails it. abandon: a change given up
  // before it wrote anything (undone alone, the unit goes on).
  bool begin(std::string& error);
  bool commit(std::string& error);
  void rollback();
  void abandon();
  // Queued with the change; written to the journal, in order, at the commit.
  bool journal(const Notification& n, std::string& error);
  bool write_journal(std::string& error);
  // With write_mu_ held: waits while another thread's unit is open.
  void await_unit();
  bool in_unit() const { return unit_depth_ > 0; }
  // A statement of the writer connection, kept by the unit (reset for new
  // bindings), or held by owned outside a unit.
  nxdb::Statement* statement(const std::string& sql, std::unique_ptr<nxdb::Statement>& owned,
                             std::string& error) override;
  // The same for a query planned afresh at each run (nxdb::Backend::prepare_replanned).
  nxdb::Statement* replanned_statement(const std::string& sql, std::unique_ptr<nxdb::Statement>& owned,
                                       std::string& error);
  nxdb::Statement* unit_statement(const std::string& sql, bool replanned,
                                  std::unique_ptr<nxdb::Statement>& owned, std::string& error);
  nxdb::Statement* kept_statement(const std::string& sql, bool replanned, std::string& error);
  // At the end of a transaction: kept statements reset, or let go.
  void settle_kept_statements();
  bool may_defer() const override { return in_unit(); }
  void end_unit_state();
  bool locate(const ObjectRef& log, const nxdb::RecordType& type, std::string& table,
              std::string& error);
  enum class Lookup { kFound, kMissing, kFailed };
  // The record's table and values (kMissing: no such record, error set).
  Lookup find_record(const ObjectRef& ref, RecordLocation& where, Values& values,
                     std::string& error);
  bool read_row(const RecordLocation& where, long record_id, Values& out, bool& found,
                std::string& error);
  // A record's key among the unit's read records.
  static std::string record_key(const ObjectRef& ref);
  // The attributes of the row a statement is on, of a record table of type.
  static void read_columns(const nxdb::Statement& st, const nxdb::RecordType& type, Values& out);
  // The next chunk of the read-ahead records from position at (read_ahead.cc).
  bool read_chunk(std::size_t at, std::string& error);
  // Inside a unit: the kept record after its update (the values as stored).
  void keep_updated(const std::string& key, const Values& changes);
  // Whether a log table has its clear-match index (known for the unit).
  bool clear_indexed(const std::string& table);
  bool clear_matching(const ObjectRef& log, const std::string& moi, const std::string& event_type,
                      const std::string& cause, const std::string& when,
                      const std::string& op, long by_record, long moi_id, std::vector<Notification>& out,
                      std::string& error);
  // Journal entries read at once, and the journal's mark: every entry up
  // to it has been removed.
  struct JournalBlock {
    std::vector<std::pair<long long, std::shared_ptr<Event>>> events;
    long long pruned = 0;
  };
  void run_dispatcher();
  // True when the journal may hold entries after the last delivered one.
  bool wait_for_journal(long long& version, std::chrono::steady_clock::time_point& recheck);
  // query: the block's statement, prepared on first use and kept.
  bool read_block(long long after, bool marked, std::unique_ptr<nxdb::Statement>& query, JournalBlock& out,
                  std::string& error);
  bool record_progress(long long seq, std::string& error);
  void prune_journal(long long keep);
  // False once stopping: nothing more is delivered.
  bool deliver_block(const std::vector<std::pair<long long, std::shared_ptr<Event>>>& block, bool lost);
  bool has_subscribers();
  bool deliver_locked(const Event& event);

  std::string system_;
  std::string application_;
  bool read_only_ = false;  // the database cannot be changed
  // Application objects of a read-only database (under write_mu_).
  std::map<std::string, std::string> read_only_apps_;

  // The writer connection: one change at a time.
  std::mutex write_mu_;
  std::unique_ptr<NXDBInterface> db_;
  std::vector<Notification> uncommitted_;
  // While log_alarms runs (its unit holds the writer): the last record and
  // notification ids given in each log, by log name.
  std::map<std::string, std::pair<long long, long long>>* batch_ids_ = nullptr;
  // The last record and notification ids of each log as this connection
  // last committed them: while the log's highest record id is still the
  // one kept, no one has logged since and the notification ids need not
  // be counted again (a whole-table scan).
  std::map<std::string, std::pair<long long, long long>> committed_ids_;
  // A managed object's identity (-1: none), from known_identities_ or else
  // its own connection, which would wait for an open transaction of ours.
  long identity_of(const std::string& moi);
  // Inside this thread's unit (write_mu_ held): found or made on the writer
  // connection, so that a new one commits or goes with the unit; false with
  // error set when the database failed. Those made in a batch are kept in
  // batch_identities_ and remembered once it has committed.
  bool identity_in_unit(const std::string& moi, long& id, std::string& error);
  std::map<std::string, long>* batch_identities_ = nullptr;
  // While log_alarms runs: the records and their creation entries kept back
  // to be written many to a statement, flushed before anything reads their
  // tables (a clear's matching) and before the commit.
  PendingRows* batch_records_ = nullptr;
  PendingRows* batch_history_ = nullptr;
  bool flush_batch_rows(std::string& error);
  std::map<std::string, long> known_identities_;  // committed ones (under identity_mu_)

  // The open unit of work (under write_mu_).
  int unit_depth_ = 0;
  std::thread::id unit_owner_;
  bool unit_failed_ = false;
  std::condition_variable_any unit_ended_;
  // Statements of units and journal writes, by their text: kept for the
  // unit, and on SQLite from one transaction to the next (at most
  // kMostKeptStatements of them).
  static constexpr std::size_t kMostKeptStatements = 64;
  std::map<std::string, std::unique_ptr<nxdb::Statement>> kept_statements_;
  std::map<std::string, std::string> unit_tables_;  // log and record type -> table
  std::map<std::string, bool> unit_clear_indexed_;  // table -> has its clear-match index
  // Records read in the unit, by record_key: the read-ahead chunk, or the
  // record read last. found false: no table of its log has it. Changes of
  // records through update and destroy keep them right; any other change
  // forgets them (keep_unit_records_ unset at its commit).
  struct ReadRecord {
    RecordLocation where;
    Values values;
    bool found = true;
  };
  std::map<std::string, ReadRecord> unit_records_;
  bool keep_unit_records_ = false;
  std::vector<ObjectRef> unit_ahead_;                  // read_ahead's records, in order
  std::map<std::string, std::size_t> unit_ahead_at_;  // record_key -> first position
  std::size_t unit_ahead_done_ = 0;                    // read up to here

  // Delivery.
  mutable std::mutex queue_mu_;
  std::condition_variable queue_cv_;
  // Signalled with queue_cv_ where the dispatcher may be waiting for the
  // server instead (PostgreSQL): a commit of this process, a stop.
  JournalWake journal_wake_;
  bool stopping_ = false;
  bool dispatcher_done_ = false;  // run_dispatcher has returned
  long long local_seq_ = 0;      // the last journal entry this process wrote
  long long delivered_seq_ = 0;  // the last one delivered
  std::unique_ptr<NXDBInterface> reader_;  // the dispatcher's own connection
  std::string reader_name_;                 // this reader in nxmis_reader
  std::thread dispatcher_;
  int wake_fd_[2] = {-1, -1};

  std::mutex identity_mu_;
  std::unique_ptr<UniqueMO> identities_;  // managed-object identities

  std::mutex subs_mu_;
  std::vector<std::pair<std::string, Callback>> subscriptions_;
};

// The process's MIS, connecting on demand; null (error set) when it cannot.
std::shared_ptr<Mis> current_mis(std::string& error);

// Live events, for CurrentEvent's pointer checks.
std::shared_ptr<const Event> lookup_event(const void* pointer, bool& freed);

}  // namespace nxmp_mis
