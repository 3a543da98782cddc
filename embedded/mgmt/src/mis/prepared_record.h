// A notification made ready to be logged: all that logging it takes
// without the database, done ahead and on any thread, so that the next
// alarms of an ingest are made while the last ones are written. What only
// the database can say (the record's ids and identity, the alarms a clear
// clears) is added when it is stored.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "mis/mis.h"
#include "mis/notification_info.h"
#include "mis/row_cell.h"
#include "nxdb/schema.h"
#include "nxmp/asn1_value.h"

namespace nxmp_mis {

struct PreparedRecord {
  const nxdb::RecordType* type = nullptr;  // the table type that keeps it
  std::string event_type;                  // without its module
  std::string moi;
  Asn1Value moi_oi;  // moi encoded (null when it is no object name)
  std::string now;  // the logging time, fourteen digits
  Values row;       // the record's values but its ids
  std::string cause;
  bool clearing = false;  // a clear: it clears the alarms it matches
  std::string clear_operator;
  // The record's columns, and its cells but the last: those of its ids
  // (in the columns given, when the table has them) and identity.
  std::string columns;
  std::vector<RowCell> cells;
  const nxdb::ColumnDef* id_columns[2] = {nullptr, nullptr};  // record, notification
  CreationInfo info;  // its OBJECT_CREATED's, but the ids
  // Its creation's history entry in the log it was made for (when it names
  // one), but the record id.
  std::optional<ObjectRef> history_log;
  std::string log_name;  // of history_log
  std::vector<RowCell> history;
};

// False with error set when the information is not of the event type's
// syntax (or the event type unknown). log: the one log to take it, or null.
bool prepare_record(const std::string& event_type, const Asn1Value& info, const std::string& moi,
                    const std::string& moc, const std::string& event_time, const ObjectRef* log,
                    PreparedRecord& out, std::string& error);

}  // namespace nxmp_mis
