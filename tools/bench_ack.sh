#!/bin/sh
# bench_ack.sh BUILD_DIR [N [ROUNDS]]: bulk state changes from Java (part of
# make bench-java): one setAckAlarmsNative over N records (default 10 000)
# and its unack, on SQLite and on a throwaway PostgreSQL server on loopback
# (tools/pg_test_server.sh; skipped when PostgreSQL 15 is not installed),
# with how long getAlarmCountNative calls of another thread wait meanwhile.
# See com.qel.nx.bench.AckBench. (The test server runs with fsync off.)
#
# The log is filled as java_bench.sh fills its logs: one alarm raised
# through nxalarm-db, copied in SQL with new record and notification ids.
set -e
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
n=${2:-10000}
rounds=${3:-5}
# NX_BENCH_PREBUILT=1: BUILD_DIR holds a build as it is (an older one, for a
# before-and-after figure): libnxalarm.so, nxalarm-db, the catalog, java/*.jar.
[ -n "${NX_BENCH_PREBUILT:-}" ] ||
  cmake --build "$build" -j2 --target nxalarm nxalarm-db nxalarm-api nxalarm-bench nx_catalog >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/nx-ack-bench-XXXXXX")
chmod 0755 "$work"
pg_started=
cleanup() {
  [ -z "$pg_started" ] || "$src/tools/pg_test_server.sh" stop "$work/pg" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
export NX_MIS_NAME=alpha NLSPATH="$build/%N"
tool="$build/nxalarm-db"
. "$src/tools/bench_fill.sh"

# q SQL: one statement on the database of NX_ALARM_DB, rows as lines.
q() { bench_sql "$NX_ALARM_DB" "$1"; }

# fill LOG N: records 1..N in the log's alarm record table, none acknowledged.
fill() {
  table=$(bench_fill "$tool" "$NX_ALARM_DB" "$1" "$2")
  echo "filled $1: $(q "SELECT count(*) FROM $table") records" >&2
}

# The figures are printed before the JVM exits; a JVM that exits with the
# calls' events still queued may end with a failing status, which is said
# but does not stop the other engine's run.
run() {
  java -Djava.library.path="$build" ${NX_BENCH_JAVA_OPTS:-} \
    -cp "$build/java/nxalarm-api.jar:$build/java/nxalarm-bench.jar" com.qel.nx.bench.AckBench AckBench "$n" "$rounds" ||
    echo "bench_ack: the JVM exited with status $?" >&2
}

echo "== bulk acknowledge, SQLite (file in $work)"
export NX_ALARM_DB="$work/ack.db"
fill AckBench "$n"
run

if [ -x /usr/lib/postgresql/15/bin/initdb ]; then
  echo "== bulk acknowledge, PostgreSQL on loopback (tools/pg_test_server.sh)"
  uri=$("$src/tools/pg_test_server.sh" start "$work/pg" | tail -n 1)
  pg_started=1
  psql -X -q -v ON_ERROR_STOP=1 -d "$uri" -c "CREATE DATABASE nx_ack_bench" >/dev/null
  export NX_ALARM_DB="${uri%/*}/nx_ack_bench"
  fill AckBench "$n"
  run
else
  echo "== bulk acknowledge, PostgreSQL: skipped (no PostgreSQL 15)"
fi
