#!/bin/sh
# bench_events.sh BUILD_DIR: alarm-log events reaching a Java listener
# (make bench-java), on SQLite, and on PostgreSQL when NX_ALARM_DB is a
# postgresql:// URL (run it under tools/pg_test_server.sh run --):
#  1. same process: one call acknowledges N records (one transaction), timed
#     until the listener has had the N change events;
#  2. across processes: a watching JVM counts the N change events of one
#     call (taking the acknowledgements back) made by another JVM;
#  3. a single change, from the call to the listener: p50 of 2000.
set -e
build=$(cd "${1:-build}" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
n=${NX_BENCH_EVENTS:-20000}
# NX_BENCH_NO_BUILD=1: measure BUILD_DIR as it is (a saved copy of an older build).
if [ -z "${NX_BENCH_NO_BUILD:-}" ]; then
  cmake --build "$build" -j2 --target nxalarm nxalarm-db nxalarm-api nx_catalog >/dev/null
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/nx-events-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
javac -d "$work" -cp "$build/java/nxalarm-api.jar" "$top/tools/bench_events/EventsBench.java"
export NX_MIS_NAME=alpha NLSPATH="$build/%N"
case "${NX_ALARM_DB:-}" in
  postgresql://*) ;;
  *) export NX_ALARM_DB="$work/events.db" ;;
esac
"$build/nxalarm-db" --db "$NX_ALARM_DB" init >/dev/null
"$build/nxalarm-db" --db "$NX_ALARM_DB" create-log AlarmLog >/dev/null
"$build/nxalarm-db" --db "$NX_ALARM_DB" raise --log AlarmLog --type communicationsAlarm --severity major \
  --moi '/systemId=name:"alpha"' --moc system --cause 5 --text "link down" --count "$n" >/dev/null
run() { java -Djava.library.path="$build" -cp "$work:$build/java/nxalarm-api.jar" EventsBench "$@"; }

echo "== events, $(case "$NX_ALARM_DB" in postgresql://*) echo PostgreSQL;; *) echo SQLite;; esac), $n changes"
run same "$n"
fifo="$work/ready"
mkfifo "$fifo"
run watch "$n" > "$fifo" &
watcher=$!
read -r line < "$fifo" || true
# The watcher's remaining output, once it has seen the ready line.
cat "$fifo" &
run unack "$n"
wait $watcher
run latency 2000
