// Cost of building the condition of a large query: 10 filters of 5
// criteria each, mixing the kinds of terms.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "query/alarm_query.h"

namespace {

std::unique_ptr<AlarmQuery> make_query() {
  auto q = std::make_unique<AlarmQuery>();
  q->set_logical_op(LOG_OR);
  for (int i = 0; i < 10; ++i) {
    auto f = std::make_unique<AlarmFilter>();
    f->set_logical_op(LOG_AND);
    f->add_filter_criteria("perceivedSeverity", EQUAL, {"critical", "major"});
    f->add_filter_criteria("eventTime", GREATER_THAN_OR_EQUAL, {"20010203040506"});
    f->add_filter_criteria("eventType", EQUAL, {"link_down*"});
    f->add_filter_criteria("additionalText", NOT_EQUAL, {"it's " + std::to_string(i)});
    f->add_filter_criteria("open", EQUAL, {});
    q->add_filter(std::move(f));
  }
  return q;
}

void BM_QueryCondition10x5(benchmark::State& state) {
  const auto q = make_query();
  std::size_t length = 0;
  for (auto _ : state) {
    std::string sql;
    if (!q->create_sql_filter(sql)) state.SkipWithError("condition refused");
    length = sql.size();
    benchmark::DoNotOptimize(sql.data());
  }
  state.counters["chars"] = static_cast<double>(length);
}
BENCHMARK(BM_QueryCondition10x5);

}  // namespace

BENCHMARK_MAIN();
