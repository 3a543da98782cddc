// The blob-first rule, shared by the common columns and the table readers.
#pragma once

#include <list>
#include <string>

#include "db/database_impl.h"

// Appends attribute name from the row's blob when the blob has it, else
// from column when its text is not empty; with always, an empty text is
// appended when neither has a value. Parses the blob on first need.
void nx_db_blob_first(DatabaseImpl& db, const NXDBRow& row, const char* name, const char* column,
                      int& count, std::list<std::string>& names, std::list<std::string>& values,
                      int& blob_parsed, OidArray& ids, Asn1ValueArray& blob_values, bool always);
