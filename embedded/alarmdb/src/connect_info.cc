#include "nxdb/connect_info.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr const char* kDefaultFile = "nxalarm.db";

bool starts_with(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

std::string absolute_path(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::vector<char> buffer(4096);
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return path;
  std::string dir(buffer.data());
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir + path;
}

}  // namespace

NXDBConnectInfo::NXDBConnectInfo(const std::string& server_name, ConnServices services)
    : services_(services) {
  fields_[0] = server_name;
  const char* env = std::getenv("NX_ALARM_DB");
  parse_location(env != nullptr && *env != '\0' ? std::string(env) : std::string(kDefaultFile));
}

NXDBConnectInfo::NXDBConnectInfo(const std::string& server_name, ConnServices services,
                                 const std::string& location)
    : services_(services) {
  fields_[0] = server_name;
  parse_location(location.empty() ? std::string(kDefaultFile) : location);
}

NXDBConnectInfo NXDBConnectInfo::at(const std::string& server_name, const std::string& location) {
  return NXDBConnectInfo(server_name, NXDB_ALARM_LOG_SERVICE, location);
}

const std::string& NXDBConnectInfo::field(int n) const {
  static const std::string kNone;
  return n >= 1 && n <= 6 ? fields_[n - 1] : kNone;
}

void NXDBConnectInfo::parse_location(const std::string& location) {
  if (services_ != NXDB_ALARM_LOG_SERVICE) {
    kind_ = nxdb::BackendKind::kInvalid;
    error_ = "unknown database service " + std::to_string(services_);
    return;
  }
  if (starts_with(location, "postgresql://") || starts_with(location, "postgres://")) {
    // postgresql://[user[:password]@][host][:port][/dbname][?params]
    kind_ = nxdb::BackendKind::kPostgres;
    fields_[3] = "postgresql";
    std::string rest = location.substr(location.find("://") + 3);
    std::string shown = location.substr(0, location.find("://") + 3);
    std::string::size_type at = rest.find('@');
    std::string::size_type slash = rest.find('/');
    if (at != std::string::npos && (slash == std::string::npos || at < slash)) {
      std::string credentials = rest.substr(0, at);
      fields_[4] = credentials.substr(0, credentials.find(':'));
      shown += fields_[4] + "@";
      rest = rest.substr(at + 1);
      slash = rest.find('/');
    }
    std::string hostport = rest.substr(0, slash);
    fields_[2] = hostport.substr(0, hostport.find(':'));
    if (slash != std::string::npos) {
      std::string db = rest.substr(slash + 1);
      fields_[1] = db.substr(0, db.find('?'));
    }
    fields_[5] = shown + rest;
    uri_ = location;
    return;
  }
  kind_ = nxdb::BackendKind::kSqlite;
  fields_[1] = absolute_path(location);
  fields_[2] = "localhost";
  fields_[3] = "sqlite";
  fields_[5] = location;
  uri_ = fields_[1];
}
