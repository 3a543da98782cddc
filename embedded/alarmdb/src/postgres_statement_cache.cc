#include "postgres_statement_cache.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

namespace nxdb::pg {
namespace {

// At most this many texts remembered as prepared once.
constexpr std::size_t kMaxSeen = 256;

bool starts_with_word(std::string_view sql, std::string_view word) {
  std::size_t i = 0;
  while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
  if (sql.size() - i < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    if (std::toupper(static_cast<unsigned char>(sql[i + k])) != word[k]) return false;
  }
  const std::size_t end = i + word.size();
  return end == sql.size() ||
         !(std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '_');
}

}  // namespace

bool StatementCache::keeps(std::string_view sql) {
  return starts_with_word(sql, "SELECT") || starts_with_word(sql, "WITH");
}

void StatementCache::follow(Connection& conn) {
  if (conn.session() == session_) return;
  forget_all();
  seen_.clear();
  session_ = conn.session();
}

void StatementCache::forget_all() {
  // Statements still running a forgotten one run their own SQL instead.
  for (auto& [sql, entry] : kept_) entry.named->broken = true;
  kept_.clear();
}

std::unique_ptr<Statement> StatementCache::find(Connection& conn, const std::string& sql) {
  follow(conn);
  auto it = kept_.find(sql);
  if (it == kept_.end()) return nullptr;
  Entry& e = it->second;
  if (e.named->broken) {
    // Prepared afresh under a new name; the old one stays on the server
    // until the connection closes.
    kept_.erase(it);
    seen_.insert(sql);
    return nullptr;
  }
  e.used = ++clock_;
  ResultHandle description(PQcopyResult(e.description.get(), PG_COPYRES_ATTRS));
  if (!description) return nullptr;
  return make_kept_statement(conn, e.named, sql, e.parameters, std::move(description));
}

std::shared_ptr<NamedStatement> StatementCache::name_for(Connection& conn, const std::string& sql,
                                                        bool at_once) {
  follow(conn);
  if (!at_once && seen_.count(sql) == 0) {
    if (seen_.size() >= kMaxSeen) seen_.clear();
    seen_.insert(sql);
    return nullptr;
  }
  if (kept_.size() >= kMaxKept && !make_room(conn)) return nullptr;
  auto named = std::make_shared<NamedStatement>();
  named->name = "nxkept_" + std::to_string(++names_);
  named->session = conn.session();
  return named;
}

std::unique_ptr<Statement> StatementCache::keep(Connection& conn, const std::string& sql,
                                                std::shared_ptr<NamedStatement> named, int parameters,
                                                ResultHandle description) {
  seen_.erase(sql);
  ResultHandle copy(PQcopyResult(description.get(), PG_COPYRES_ATTRS));
  if (copy) {
    Entry& e = kept_[sql];
    if (e.named) e.named->broken = true;
    e = Entry{named, std::move(copy), parameters, ++clock_};
  }
  return make_kept_statement(conn, std::move(named), sql, parameters, std::move(description));
}

bool StatementCache::make_room(Connection& conn) {
  // Outside a transaction only: a failed one refuses every command.
  if (conn.in_transaction()) return false;
  std::vector<std::pair<unsigned long long, std::string>> idle;
  for (const auto& [sql, entry] : kept_) {
    if (entry.named.use_count() == 1) idle.emplace_back(entry.used, sql);
  }
  if (idle.empty()) return false;
  std::sort(idle.begin(), idle.end());
  idle.resize((idle.size() + 1) / 2);
  std::string script;
  for (const auto& [used, sql] : idle) script += "DEALLOCATE " + kept_.at(sql).named->name + ";";
  ResultHandle r(PQexec(conn.get(), script.c_str()));
  if (!r || PQresultStatus(r.get()) != PGRES_COMMAND_OK) return false;
  for (const auto& [used, sql] : idle) kept_.erase(sql);
  return true;
}

}  // namespace nxdb::pg
