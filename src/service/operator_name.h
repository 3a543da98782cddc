// The operator name this process writes into every change it makes to an
// alarm (acknowledge, clear, display, and the clearing notification).
#pragma once

#include <string>

// The login name of the effective user; empty when none can be found.
std::string operator_name();
