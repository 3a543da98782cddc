// One table of a log read with a statement of the caller's over the wanted
// columns: the ordered and paged reads (page_reader.h) use it.
#pragma once

#include <functional>
#include <string>

#include "db/log_tables.h"
#include "db/record_fields.h"
#include "platform/alarm_database.h"

struct TableSpec;

// statement(columns, table): the SQL that reads the wanted columns (a list
// ready for SELECT) of the table; bind sets its parameters. Each row goes
// to sink with the fields and the row itself (for further columns of the
// statement's); sink returns false to stop.
using TableStatement = std::function<std::string(const std::string& columns, const std::string& table)>;
using TableBind = std::function<bool(nxdb::Statement&)>;
using RowFieldSink = std::function<bool(const NXDBRow& row, const RecordFields& fields)>;

// table: the log's table of that kind as tables.table(spec) gave it ("" when
// there is none), so that a read of many rounds looks it up once.
ReadResult read_table_fields(LogTables& tables, const TableSpec& spec, const std::string& table,
                             const TableStatement& statement, const TableBind& bind, RecordFields& fields,
                             const RowFieldSink& sink);
