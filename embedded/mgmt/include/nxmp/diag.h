// The platform's diagnostic stream. Standard error unless the environment
// variable NX_DIAG_FILE names a file to append to.
#pragma once

#include <cstdio>

extern "C" {
extern FILE* pfd;
}
