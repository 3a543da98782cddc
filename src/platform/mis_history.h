// The management platform's record history and purge, as the system uses
// them (the one include of that part of the client library).
#pragma once

#include "nxmp/history.h"

using StateChangeEntry = nxmp_mis::HistoryEntry;
