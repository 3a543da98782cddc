#include "nxdb_testing/scratch_database.h"

#include <dirent.h>
#include <libpq-fe.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace nxdb_test {
namespace {

struct ConnCloser {
  void operator()(PGconn* c) const { PQfinish(c); }
};
struct ResultClearer {
  void operator()(PGresult* r) const { PQclear(r); }
};

std::string server_uri() {
  const char* uri = std::getenv("NX_TEST_PG");
  return uri != nullptr ? uri : "";
}

// Runs one statement on the server's maintenance database.
bool admin(const std::string& uri, const std::string& sql, std::string& error) {
  const char* const keys[] = {"dbname", "connect_timeout", nullptr};
  const char* const values[] = {uri.c_str(), "10", nullptr};
  std::unique_ptr<PGconn, ConnCloser> conn(PQconnectdbParams(keys, values, 1));
  if (!conn || PQstatus(conn.get()) != CONNECTION_OK) {
    error = "test server " + uri + ": " + (conn ? PQerrorMessage(conn.get()) : "out of memory");
    return false;
  }
  std::unique_ptr<PGresult, ResultClearer> r(PQexec(conn.get(), sql.c_str()));
  if (!r || PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
    error = sql + ": " + PQerrorMessage(conn.get());
    return false;
  }
  return true;
}

void remove_tree(const std::string& path) {
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      std::string child = path + "/" + name;
      struct stat st {};
      if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        remove_tree(child);
      } else {
        unlink(child.c_str());
      }
    }
    closedir(dir);
  }
  rmdir(path.c_str());
}

}  // namespace

bool on_postgres() { return !server_uri().empty(); }

std::string with_database(const std::string& uri, const std::string& database) {
  const std::size_t scheme = uri.find("://");
  const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  const std::size_t query = uri.find('?', start);
  const std::size_t slash = uri.find('/', start);
  std::string head = uri.substr(0, slash != std::string::npos && slash < query ? slash
                                                                                : query);
  std::string tail = query == std::string::npos ? "" : uri.substr(query);
  return head + "/" + database + tail;
}

ScratchDatabase::ScratchDatabase() {
  const char* base = std::getenv("NX_TEST_TMP");
  std::string root = base != nullptr && *base != '\0' ? base : "/tmp";
  mkdir(root.c_str(), 0755);
  std::string pattern = root + "/scratch-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    error_ = "cannot make a temporary directory under " + root;
    return;
  }
  dir_ = buffer.data();
  admin_uri_ = server_uri();
  if (admin_uri_.empty()) {
    location_ = dir_ + "/alarms.db";
    return;
  }
  static std::atomic<int> counter{0};
  std::random_device random;
  database_ = "nxt_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + "_" +
              std::to_string(random() % 100000);
  if (!admin(admin_uri_, "CREATE DATABASE " + database_, error_)) {
    database_.clear();
    return;
  }
  location_ = with_database(admin_uri_, database_);
}

ScratchDatabase::~ScratchDatabase() {
  if (!database_.empty()) {
    std::string ignored;
    admin(admin_uri_, "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)", ignored);
  }
  if (!dir_.empty()) remove_tree(dir_);
}

void ScratchDatabase::export_location() const { setenv("NX_ALARM_DB", location_.c_str(), 1); }

}  // namespace nxdb_test
