// The ingest subcommand of nxalarm-db.
#pragma once

#include <string>
#include <vector>

// args[0] is "ingest"; location is the --db value, if one was given.
int ingest_command(const std::vector<std::string>& args, const std::string* location);
