#!/bin/sh
# bench_history.sh BUILD_DIR [N [ROUNDS]]: what the record history costs a
# bulk change (part of make bench-java). One setAckAlarmsNative over N
# records (default 10 000) and its unack (com.qel.nx.bench.HistoryBench), on
# SQLite, with the library of BUILD_DIR and with the same sources built
# without history entries (-DNX_HISTORY_OFF=ON, a build folder of its own:
# BUILD_DIR-nohistory), run in turns, three times each, on a fresh log each.
# NX_BENCH_PG=postgresql://user@host:port/db: on PostgreSQL instead, a fresh
# database of that server for each turn (made and dropped here).
set -e
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
n=${2:-10000}
rounds=${3:-3}
targets="nxalarm nxalarm-db nxalarm-api nxalarm-bench nx_catalog"
plain="$build-nohistory"
cmake --build "$build" -j2 --target $targets >/dev/null
if [ ! -f "$plain/CMakeCache.txt" ]; then
  cmake -S "$src" -B "$plain" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNX_BENCH=OFF -DNX_HISTORY_OFF=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
fi
cmake --build "$plain" -j2 --target $targets >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/nx-history-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
export NX_MIS_NAME=alpha
pg=${NX_BENCH_PG:-}
engine=SQLite
[ -z "$pg" ] || engine=PostgreSQL

. "$src/tools/bench_fill.sh"

# run BUILD LABEL TURN: one HistoryBench on a fresh database.
run() {
  if [ -n "$pg" ]; then
    name="nx_history_bench_$2_$3"
    bench_sql "$pg" "DROP DATABASE IF EXISTS $name" && bench_sql "$pg" "CREATE DATABASE $name"
    db=$(echo "$pg" | sed -e "s#^\(postgres[a-z]*://[^/]*\)/[^?]*#\1/$name#")
  else
    db="$work/$2-$3.db"
  fi
  bench_fill "$1/nxalarm-db" "$db" AlarmLog "$n" >/dev/null
  status=0
  result=$(NX_ALARM_DB="$db" NLSPATH="$1/%N" java -Djava.library.path="$1" \
    -cp "$1/java/nxalarm-api.jar:$1/java/nxalarm-bench.jar" com.qel.nx.bench.HistoryBench AlarmLog "$n" "$rounds") ||
    status=$?
  # A figure printed counts even when the JVM's exit went wrong; say so.
  [ "$status" = 0 ] || result="$result (the JVM exited with $status)"
  entries=$(bench_sql "$db" "SELECT count(*) FROM nxmis_history WHERE kind <> 'created'")
  echo "$2 turn $3: $result (ms, median of $rounds; $entries history entries)"
  if [ "$status" = 0 ]; then echo "$2 $result" >>"$work/results"; fi
  if [ -n "$pg" ]; then bench_sql "$pg" "DROP DATABASE $name"; else rm -f "$db" "$db-wal" "$db-shm"; fi
}

echo "== bulk acknowledge of $n records with and without history ($engine, load $(cut -d' ' -f1-3 /proc/loadavg))"
for turn in 1 2 3; do
  run "$plain" without "$turn"
  run "$build" with "$turn"
done
# The target: what the history adds, from the medians of the turns.
awk '
  function median(list,   v, n, i, j, t) {
    n = split(list, v, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] + 0 < v[i] + 0) { t = v[i]; v[i] = v[j]; v[j] = t }
    return v[int((n + 1) / 2)]
  }
  { a[$1] = a[$1] " " $3; u[$1] = u[$1] " " $5; ca[$1] = ca[$1] " " $8; cu[$1] = cu[$1] " " $10 }
  END {
    if (!("with" in a) || !("without" in a)) { print "history cost: no figures"; exit 1 }
    split("ack unack", names, " ")
    for (k = 1; k <= 2; k++) {
      w = median(k == 1 ? a["with"] : u["with"]); o = median(k == 1 ? a["without"] : u["without"])
      cw = median(k == 1 ? ca["with"] : cu["with"]); co = median(k == 1 ? ca["without"] : cu["without"])
      printf "history cost, %s: %d vs %d ms wall (%+.0f%%), %d vs %d ms CPU (%+.0f%%)\n", names[k], w, o,
        100 * (w - o) / o, cw, co, 100 * (cw - co) / co
    }
  }' "$work/results"
