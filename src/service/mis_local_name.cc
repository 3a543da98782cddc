// The name of the local MIS. Kept on its own so that the source of the name
// can change (the platform object's own name) without touching the rest.
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "service/mis_impl.h"

std::string MisImpl::get_local_mis_name() {
  const char* configured = Installation::getenv("NX_MIS_NAME");
  if (configured != nullptr && configured[0] != '\0') return configured;
#ifdef HOST_NAME_MAX
  char host[HOST_NAME_MAX + 1];
#else
  char host[256];
#endif
  if (gethostname(host, sizeof host) != 0) return std::string();
  host[sizeof host - 1] = '\0';  // a truncated name need not be terminated
  return host;
}

void MisImpl::get_local_mis_name(char* buffer) {
  if (buffer == nullptr) return;
  // The callers' buffers have no size; they are sized for a host name.
  const std::string name = get_local_mis_name();
  std::strcpy(buffer, name.c_str());
}
