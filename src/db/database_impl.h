// DatabaseImpl: the front of the alarm-log database reader. Each job has a
// file of its own: the log directory (log_tables.h), the field reader
// (field_reader.h), the counter (record_counter.h); this class keeps the
// record naming and time helpers the readers share.
//
// No data members and no shared buffers: retrievals read on worker threads,
// several at once (a batch listener may start one while another runs), and
// every read opens its own connection.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "db/field_reader.h"
#include "db/record_fields.h"
#include "model/alarm_attribute.h"
#include "platform/alarm_database.h"

class DatabaseImpl {
 public:
  using FieldSink = ::FieldSink;

  // Session and log-table lookup (see LogTables).
  void set_lockmode(NXDBInterface& db);
  std::string get_ilogname(NXDBInterface& db, const std::string& log_id,
                           const std::string& record_type);

  // Only the wanted attributes of the log's records, as the texts their
  // attribute maps would hold (see read_log_fields).
  bool stream_log_fields(const std::string& log_fdn, const std::string& condition,
                         const std::vector<AlarmAttributeId>& wanted, const FieldSink& sink);
  // Sets count to the number of matching records. True unless the database
  // cannot be opened or a query fails (a missing table counts 0).
  bool get_log_count_from_database(const std::string& log_fdn, int& count,
                                   const std::string& condition);

  // Record naming and time helpers. A log name that does not parse, or has
  // no logId, empties both outputs (no table is then found).
  static void get_mis_and_log_from_fdn(const std::string& fdn, std::string& mis, std::string& log);
  // The distinguished-name value notation of an fdn; "" when the text is not
  // wholly a name or too long (never a cut name).
  static std::string my_fdn2oi(const char* fdn);
  // The instance a record keeps for a managed-object name text, written over
  // out: AlarmRecord::map_text of my_fdn2oi(fdn), parsing the name once
  // instead of printing it and reading the printed form back. False where
  // my_fdn2oi gives "" (the record then has no instance).
  static bool fdn_instance(const char* fdn, std::string& out);
  // "NULL" for the empty text, else the text unchanged; a text longer than
  // kMaxTimeText cannot be a time and also gives "NULL".
  static std::string alarm_convert_to_gen_time(const char* text);
  // The database's identity of the managed object, or -1.
  static int get_unique_moid(const std::string& mis, const std::string& fdn);

  static constexpr std::size_t kMaxTimeText = 29;
};
