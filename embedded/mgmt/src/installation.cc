#include "nxmp/installation.h"

#include <cstdlib>

const char* Installation::getenv(const char* name) { return name ? std::getenv(name) : nullptr; }
