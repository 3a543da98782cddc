// The alarm database client library as the system uses it: connect
// information, SQL sessions, rows and row sets, column values, binary
// columns, table existence and managed-object keys.
//
// This is the one place the system includes it from.
#pragma once

#include "platform/management_platform.h"

#include "nxdb/connect_info.h"
#include "nxdb/interface.h"
#include "nxdb/lock_wait.h"
#include "nxdb/order_keys.h"
#include "nxdb/row.h"
#include "nxdb/table.h"
#include "nxdb/unique_mo.h"
#include "nxdb/value.h"
