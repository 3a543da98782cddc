#include "nxdb_testing/private_server.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace nxdb_test {
namespace {

struct PipeCloser {
  void operator()(FILE* f) const { pclose(f); }
};

// Runs the script with fixed arguments (no text from outside goes into the
// command) and returns its standard output; false when it failed.
bool run(const std::string& command, std::string& out) {
  std::unique_ptr<FILE, PipeCloser> p(popen(command.c_str(), "r"));
  if (!p) return false;
  char buffer[512];
  out.clear();
  while (std::fgets(buffer, sizeof buffer, p.get()) != nullptr) out += buffer;
  return pclose(p.release()) == 0;
}

}  // namespace

PrivateServer::PrivateServer() {
  const char* script = std::getenv("NX_PG_TEST_SCRIPT");
  if (script == nullptr || *script == '\0') {
    error_ = "NX_PG_TEST_SCRIPT is not set (run through tools/pg_test_server.sh suite)";
    return;
  }
  script_ = script;
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                        "/nx-pg-own-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    error_ = "cannot make a directory for the server";
    return;
  }
  dir_ = buffer.data();
  std::string out;
  if (!run("'" + script_ + "' start '" + dir_ + "' 2>&1", out)) {
    error_ = "the test server did not start: " + out;
    return;
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  uri_ = out.substr(out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
}

PrivateServer::~PrivateServer() {
  if (dir_.empty() || script_.empty()) return;
  std::string ignored;
  run("'" + script_ + "' stop '" + dir_ + "' 2>&1", ignored);
}

bool PrivateServer::restart() {
  std::string out;
  return ok() && run("'" + script_ + "' restart '" + dir_ + "' 2>&1", out);
}

}  // namespace nxdb_test
