// The log directory: which tables hold a log's records. A LogTables is one
// load's or count's connection to the database of one log.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/alarm_database.h"

struct TableSpec;

// How reading one table of a log ended. kNoTable: the directory has no such
// table; kFailed: the query or the fetch failed (what was read may be
// incomplete).
enum class ReadResult { kRead, kNoTable, kFailed };

class LogTables {
 public:
  // Opens the database of the log named log_fdn; a name that is no log's
  // leaves server and log empty, so no table is found.
  explicit LogTables(const std::string& log_fdn);
  LogTables(const LogTables&) = delete;
  LogTables& operator=(const LogTables&) = delete;

  // False when the database could not be opened: a failure, not an empty log.
  bool connected() const { return db_ != nullptr; }
  NXDBInterface& db() { return *db_; }
  const std::string& mis() const { return mis_; }
  const std::string& log() const { return log_; }

  // The log's table of the table's record type, fit to go into FROM as it
  // stands; "" when the directory names none, the name is no plain
  // identifier, or the table is not there.
  std::string table(const TableSpec& spec);

  // Sets the session's lock wait (NX_LOG_MPA_DEADLOCK_TIMEOUT, else 120 s);
  // a value the database refuses leaves the session as it was.
  static void set_lockmode(NXDBInterface& db);
  // The table of one record type of a log ("" when the directory has none).
  static std::string get_ilogname(NXDBInterface& db, const std::string& log_id,
                                  const std::string& record_type);
  // The tables of every record type of a log that are there, by record
  // type, in one query.
  static std::map<std::string, std::string> get_present_ilognames(NXDBInterface& db,
                                                                  const std::string& log_id);

 private:
  std::string mis_;
  std::string log_;
  std::unique_ptr<NXDBInterface> db_;
  // Looked up at the first table() and kept: one query, not one per table.
  bool looked_up_ = false;
  std::map<std::string, std::string> present_;
};

// "SELECT what FROM table", with " WHERE condition" unless it is empty.
std::string select_statement(const std::string& what, const std::string& table,
                             const std::string& condition);
