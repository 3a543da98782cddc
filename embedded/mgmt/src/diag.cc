#include "nxmp/diag.h"

#include <cstdlib>

namespace {
FILE* open_diag_stream() {
  const char* path = std::getenv("NX_DIAG_FILE");
  if (path && *path) {
    if (FILE* f = std::fopen(path, "a")) {
      setvbuf(f, nullptr, _IOLBF, 0);
      return f;
    }
  }
  return stderr;
}
}  // namespace

extern "C" {
__attribute__((visibility("default"))) FILE* pfd = open_diag_stream();
}
