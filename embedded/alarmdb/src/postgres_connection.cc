#include "postgres_connection.h"

#include <poll.h>

#include <algorithm>

#include "nxdb/lock_wait.h"
#include "postgres_results.h"

namespace nxdb::pg {
namespace {

// lock_timeout in milliseconds: 0 waits for ever, so "no wait" is the
// shortest wait there is.
long lock_timeout_ms(int seconds) {
  return seconds < 0 ? 0 : (seconds == 0 ? 1 : static_cast<long>(seconds) * 1000);
}

}  // namespace

Connection::Connection(std::string uri)
    : uri_(std::move(uri)), lock_wait_seconds_(lock_wait_seconds()),
      lock_wait_ms_(lock_timeout_ms(lock_wait_seconds_)) {}

bool Connection::open(std::string& error) {
  // A statement may run no shorter than a lock may be waited for.
  const long statement_ms = std::max(300000L, lock_wait_ms_ + 60000L);
  const std::string options = "-c statement_timeout=" + std::to_string(statement_ms) +
                              " -c DateStyle=ISO,YMD -c bytea_output=hex "
                              "-c standard_conforming_strings=on -c client_encoding=UTF8 "
                              "-c client_min_messages=warning "
                              // The library's statements are short: compiling
                              // one took the server 160 to 580 ms where an
                              // unanalysed table inflated its estimate.
                              "-c jit=off";
  // Ours first: settings in the URI come later and win.
  const char* const keys[] = {"connect_timeout", "keepalives", "keepalives_idle",
                              "keepalives_interval", "keepalives_count", "tcp_user_timeout",
                              "options", "application_name", "dbname", nullptr};
  const char* const values[] = {"10", "1", "10", "5", "3", "30000", options.c_str(),
                                "nxalarm", uri_.c_str(), nullptr};
  ConnHandle conn(PQconnectdbParams(keys, values, 1));
  if (!conn || PQstatus(conn.get()) != CONNECTION_OK) {
    error = "cannot connect to the PostgreSQL alarm database " + shown_uri() + ": " +
            (conn ? trimmed_message(PQerrorMessage(conn.get())) : std::string("out of memory"));
    return false;
  }
  // Server notices (such as "already exists, skipping") are not errors
  // and never reach standard error.
  PQsetNoticeProcessor(conn.get(), [](void*, const char*) {}, nullptr);
  conn_ = std::move(conn);
  ++session_;
  settings_changed_ = false;
  ++generation_;
  unnamed_owner_ = 0;
  if (!apply_lock_wait(error)) return false;
  for (const std::string& channel : channels_) {
    if (!run_listen(channel, error)) return false;
  }
  return true;
}

bool Connection::ensure(std::string& error) {
  settle();
  if (!collect_deferred(error)) return false;
  if (broken_transaction_) {
    error = kLostInTransaction;
    return false;
  }
  if (usable()) return true;
  conn_.reset();
  return open(error);
}

bool Connection::reset_session(std::string& error) {
  if (!poolable()) return false;
  lock_wait_seconds_ = lock_wait_seconds();
  lock_wait_ms_ = lock_timeout_ms(lock_wait_seconds_);
  // Statements of the previous user never run here again.
  ++generation_;
  unnamed_owner_ = 0;
  changes = 0;
  if (!settings_changed_ && applied_lock_ms_ == lock_wait_ms_ && nothing_arrived()) return true;
  // RESET ALL goes back to the values the connection was opened with.
  const std::string sql = "RESET ALL; SET lock_timeout = " + std::to_string(lock_wait_ms_);
  ResultHandle r(PQexec(conn_.get(), sql.c_str()));
  if (!r || PQresultStatus(r.get()) != PGRES_COMMAND_OK ||
      PQtransactionStatus(conn_.get()) != PQTRANS_IDLE) {
    error = trimmed_message(PQerrorMessage(conn_.get()));
    conn_.reset();
    return false;
  }
  settings_changed_ = false;
  applied_lock_ms_ = lock_wait_ms_;
  return true;
}

bool Connection::nothing_arrived() const {
  pollfd fd{PQsocket(conn_.get()), POLLIN, 0};
  return fd.fd >= 0 && poll(&fd, 1, 0) == 0;
}

bool Connection::set_lock_wait(int seconds, std::string& error) {
  settle();
  // The session has that wait already: no round trip.
  if (seconds == lock_wait_seconds_ && usable() && !broken_transaction_) return true;
  lock_wait_seconds_ = seconds;
  lock_wait_ms_ = lock_timeout_ms(seconds);
  return ensure(error) && apply_lock_wait(error);
}

bool Connection::listen(const std::string& channel, std::string& error) {
  settle();
  for (const std::string& c : channels_) {
    if (c == channel) return ensure(error);
  }
  channels_.push_back(channel);
  return ensure(error) && run_listen(channel, error);
}

std::string Connection::shown_uri() const {
  // Never show a password.
  std::string shown = uri_;
  std::size_t scheme = shown.find("://");
  std::size_t at = shown.find('@');
  if (scheme != std::string::npos && at != std::string::npos && at > scheme) {
    std::size_t colon = shown.find(':', scheme + 3);
    if (colon != std::string::npos && colon < at) shown.erase(colon, at - colon);
  }
  return shown;
}

bool Connection::simple(const std::string& sql, std::string& error) {
  ResultHandle r(PQexec(conn_.get(), sql.c_str()));
  if (!r || PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
    error = trimmed_message(PQerrorMessage(conn_.get()));
    note_failure(false);
    return false;
  }
  return true;
}

bool Connection::apply_lock_wait(std::string& error) {
  // Inside a transaction a rollback undoes the SET: then nothing is known
  // of the session's wait.
  const bool in_transaction_now = in_transaction();
  applied_lock_ms_ = -1;
  if (!simple("SET lock_timeout = " + std::to_string(lock_wait_ms_), error)) return false;
  if (in_transaction_now) {
    settings_changed_ = true;
  } else {
    applied_lock_ms_ = lock_wait_ms_;
  }
  return true;
}

bool Connection::run_listen(const std::string& channel, std::string& error) {
  char* quoted = PQescapeIdentifier(conn_.get(), channel.c_str(), channel.size());
  if (quoted == nullptr) {
    error = trimmed_message(PQerrorMessage(conn_.get()));
    return false;
  }
  std::string sql = std::string("LISTEN ") + quoted;
  PQfreemem(quoted);
  return simple(sql, error);
}

}  // namespace nxdb::pg
