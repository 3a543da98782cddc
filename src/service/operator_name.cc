#include "service/operator_name.h"

#include <pwd.h>
#include <unistd.h>

std::string operator_name() {
  // The reentrant lookup: natives and the event thread may ask at once.
  struct passwd pw {};
  struct passwd* found = nullptr;
  char buffer[1024];
  if (getpwuid_r(geteuid(), &pw, buffer, sizeof buffer, &found) == 0 && found && found->pw_name) {
    return found->pw_name;
  }
  // No password entry (a container's bare uid): the session's login, if any.
  const char* login = getlogin();
  return login ? login : "";
}
