// The hold-lock subcommand of nxalarm-db: another process's long
// transaction, for trying out what waits for it.
#pragma once

#include <string>
#include <vector>

#include "nxdb/connect_info.h"

// args[0] is "hold-lock", args[1] the seconds to hold, then optionally
// --readers (keep readers out as well).
int hold_lock_command(const std::vector<std::string>& args, const NXDBConnectInfo& info);
