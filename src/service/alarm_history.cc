#include "service/alarm_history.h"

#include <cctype>
#include <utility>

#include "query/alarm_query.h"

long history_record_id(const std::string& text) {
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  };
  skip_blanks();
  if (text.compare(i, 6, "number") == 0) {
    i += 6;
    skip_blanks();
    if (i >= text.size() || text[i] != ':') return 0;
    ++i;
    skip_blanks();
  }
  long id = 0;
  std::size_t digits = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
    if (digits >= 18) return 0;
    id = id * 10 + (text[i] - '0');
  }
  skip_blanks();
  return digits > 0 && i == text.size() ? id : 0;
}

bool alarm_history(const std::string& log_name, long record_id, std::vector<StateChangeEntry>& out,
                   std::string& error) {
  nxmp_mis::HistoryResult r = nxmp_mis::record_history(log_name, record_id);
  out = std::move(r.entries);
  error = std::move(r.error);
  return r.ok;
}

bool log_history(const std::string& log_name, const std::string& since, long limit,
                 std::vector<StateChangeEntry>& out, std::string& error) {
  nxmp_mis::HistoryResult r = nxmp_mis::log_history(log_name, since, limit);
  out = std::move(r.entries);
  error = std::move(r.error);
  return r.ok;
}

PurgeOutcome purge_alarms(const std::string& log_name, const AlarmQuery& query, long& deleted,
                          std::string& error) {
  deleted = 0;
  std::string condition;
  if (!query.create_sql_filter(condition)) {
    error = "the query cannot be turned into an SQL condition";
    return PurgeOutcome::kBadQuery;
  }
  if (condition.empty()) {
    error = "the query selects every record without saying so";
    return PurgeOutcome::kNoSelection;
  }
  nxmp_mis::PurgeResult r = nxmp_mis::purge_records(log_name, condition);
  if (!r.ok) {
    error = std::move(r.error);
    return PurgeOutcome::kFailed;
  }
  deleted = r.deleted;
  return PurgeOutcome::kDone;
}
