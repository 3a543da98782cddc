// DatabaseImpl: the alarm-log database reader. Finds a log's tables in the
// log directory, reads and counts the records of its alarm record, internet
// alarm and Nerve Center alarm tables, and turns each row's columns and
// blob of ASN.1 attributes into an AlarmRecord.
//
// No data members and no shared buffers: retrievals read on worker threads,
// several at once (a batch listener may start one while another runs), so
// every text is returned by value and every buffer belongs to one row reader.
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <vector>

#include "db/blob_scratch.h"
#include "db/record_fields.h"
#include "model/alarm_record.h"
#include "platform/alarm_database.h"
#include "platform/management_platform.h"

class DatabaseImpl {
 public:
  // Called with each record as it is read; returning false stops the read
  // (the reader then returns true: what was delivered is complete).
  using RecordSink = std::function<bool(AlarmRecord& record)>;
  using FieldSink = std::function<bool(const RecordFields& fields)>;

  // Session and log-table lookup.
  void set_lockmode(NXDBInterface& db);
  // The table of one record type of a log ("" when the directory has none).
  std::string get_ilogname(NXDBInterface& db, std::string log_id, const std::string& record_type);

  // Common columns and blob attributes of one row.
  void parse_blob_info(const NXDBBlob& blob, OidArray& ids, Asn1ValueArray& values);
  // The decoded text of the blob's first attribute whose short name is name;
  // scratch is the caller's (one per reading thread).
  bool blob_attribute_text(std::string_view name, OidArray& ids, Asn1ValueArray& blob_values,
                           BlobScratch& scratch, std::string& out);
  bool set_attr_from_blob(const std::string& name, std::list<std::string>& names,
                          std::list<std::string>& values, int& count, OidArray& ids,
                          Asn1ValueArray& blob_values);
  bool read_common_event_attrs(const NXDBRow& row, int& count, std::list<std::string>& names,
                               std::list<std::string>& values, int& blob_parsed, OidArray& ids,
                               Asn1ValueArray& blob_values);

  // Loads the log's records matching the condition (empty: all) onto the
  // list; true when the alarm record table was read and no query failed.
  bool init_log_from_database(const std::string& log_fdn, std::list<AlarmRecord>& records,
                              int& count, std::string condition);
  // The same records, handed one at a time to sink instead of kept, so
  // memory does not grow with the log.
  bool stream_log_from_database(const std::string& log_fdn, const std::string& condition,
                                const RecordSink& sink);
  // Only the wanted attributes of the same records, as the texts their
  // attribute maps would hold: for clients that want a few fields of many
  // records, without the cost of whole records.
  bool stream_log_fields(const std::string& log_fdn, const std::string& condition,
                         const std::vector<AlarmAttributeId>& wanted, const FieldSink& sink);
  // Sets count to the number of matching records. True unless the database
  // cannot be opened or a query fails (a missing table counts 0).
  bool get_log_count_from_database(const std::string& log_fdn, int& count, std::string condition);

  bool read_nxAlarmRecords(NXDBInterface& db, std::string mis, std::string log,
                           std::list<AlarmRecord>& records, int& count, std::string condition,
                           bool count_only);
  bool read_nxInternetAlarm(NXDBInterface& db, std::string mis, std::string log,
                            std::list<AlarmRecord>& records, int& count, std::string condition,
                            bool count_only);
  bool read_nerveCenterAlarm(NXDBInterface& db, std::string mis, std::string log,
                             std::list<AlarmRecord>& records, int& count, std::string condition,
                             bool count_only);

  // Record naming and time helpers. A log name that does not parse, or has
  // no logId, empties both outputs (no table is then found).
  void get_mis_and_log_from_fdn(std::string fdn, std::string& mis, std::string& log);
  // The distinguished-name value notation of an fdn; "" when the text is not
  // wholly a name or too long (never a cut name).
  std::string my_fdn2oi(const char* fdn);
  // "NULL" for the empty text, else the text unchanged; a text longer than
  // kMaxTimeText cannot be a time and also gives "NULL".
  std::string alarm_convert_to_gen_time(const char* text);
  // The database's identity of the managed object, or -1.
  static int get_unique_moid(const std::string& mis, const std::string& fdn);

  static constexpr std::size_t kMaxTimeText = 29;
  static constexpr std::size_t DECODE_BUFFER_SIZE = BlobScratch::kBufferSize;

  // Record-type codes of the log directory.
  static constexpr const char* NX_ALARM = "nxAlm";
  static constexpr const char* NX_INTERNET_ALARM = "nxInt";
  static constexpr const char* NERVE_CENTER_ALARM = "NrvCt";

  struct TableSpec;

 private:
  // kNoTable: the directory has no such table; kFailed: the query or the
  // fetch failed (the records read may be incomplete).
  enum class ReadResult { kRead, kNoTable, kFailed };
  // Called with each fetched row; false stops the read.
  using RowHandler = std::function<bool(const NXDBRow& row)>;
  // Reads one table of a log; sets stopped when its consumer stopped the read.
  using TableReader = std::function<ReadResult(NXDBInterface& db, const TableSpec& table,
                                               const std::string& mis, const std::string& log,
                                               bool& stopped)>;

  // columns: the select list; empty for every column the table's records have.
  ReadResult read_table(NXDBInterface& db, const TableSpec& spec, const std::string& log,
                        int& count, const std::string& condition, bool count_only,
                        const RowHandler& on_row, const std::string& columns = std::string());
  ReadResult read_records(NXDBInterface& db, const TableSpec& spec, const std::string& mis,
                          const std::string& log, int& count, const std::string& condition,
                          bool count_only, const RecordSink& sink);
  // The alarm table, then the internet and Nerve Center tables unless the
  // read was stopped; false when the alarm table or any query failed.
  bool read_log(const std::string& log_fdn, const std::string& condition, const TableReader& read);
  // Opens the connection for one load or count; null when that fails.
  std::unique_ptr<NXDBInterface> connect(const std::string& log_fdn, std::string& mis,
                                         std::string& log);
};
