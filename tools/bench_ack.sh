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

# q SQL: one statement on the database of NX_ALARM_DB, rows as lines.
q() {
  case $NX_ALARM_DB in
    postgresql://*) psql -X -q -A -t -v ON_ERROR_STOP=1 -d "$NX_ALARM_DB" -c "$1" ;;
    *) sqlite3 "$NX_ALARM_DB" "$1" ;;
  esac
}

# fill LOG N: records 1..N in the log's alarm record table, none acknowledged.
fill() {
  log=$1 count=$2
  "$tool" --db "$NX_ALARM_DB" init >/dev/null
  "$tool" --db "$NX_ALARM_DB" create-log "$log" >/dev/null
  "$tool" --db "$NX_ALARM_DB" raise --log "$log" --type communicationsAlarm --severity major \
    --moi '/systemId=name:"alpha"' --moc system --cause 5 --text "link down" >/dev/null
  table=$(q "SELECT nxlogname FROM nxlog WHERE nxlogid = '$log' AND nxlogrecordtype = 'nxAlm'")
  case $NX_ALARM_DB in
    postgresql://*)
      cols=$(q "SELECT string_agg(column_name, ',' ORDER BY ordinal_position) FROM information_schema.columns
                WHERE table_name = '$table'")
      series="generate_series(2, $count) AS n(i)" with= ;;
    *)
      cols=$(q "SELECT group_concat(name, ',') FROM pragma_table_info('$table')")
      series=n with="WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < $count)" ;;
  esac
  select=$(echo "$cols" | tr ',' '\n' | sed -e 's/^logrecordid$/n.i/' -e 's/^notificationid$/n.i/' \
    -e '/^n\.i$/!s/^/t./' | paste -s -d, -)
  q "$with INSERT INTO $table ($cols) SELECT $select FROM $series,
     (SELECT * FROM $table WHERE logrecordid = 1) AS t"
  echo "filled $log: $(q "SELECT count(*) FROM $table") records" >&2
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
