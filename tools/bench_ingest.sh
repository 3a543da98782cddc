#!/bin/bash
# bench_ingest.sh BUILD_DIR [ALARMS]: alarms raised per second through
# `nxalarm-db ingest` (varied input from tools/gen_alarms.awk), against
# `raise --count` as the way alarms were raised before. SQLite always;
# PostgreSQL too when NX_TEST_PG names a server (make bench runs it through
# tools/pg_test_server.sh run). Prints one line per measure.
set -euo pipefail
# Under `pg_test_server.sh run` the server is NX_PG_TEST_SERVER.
NX_TEST_PG=${NX_TEST_PG:-${NX_PG_TEST_SERVER:-}}
build=$(cd "${1:-build}" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
alarms=${2:-50000}
tool=$build/nxalarm-db
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-ingest-XXXXXX")
pgdbs=()
cleanup() {
  rm -rf "$work"
  for d in "${pgdbs[@]}"; do psql -X -q -d "$NX_TEST_PG" -c "DROP DATABASE IF EXISTS $d WITH (FORCE)" >/dev/null 2>&1 || true; done
}
trap cleanup EXIT
awk -v n="$alarms" -v seed=1 -f "$top/tools/gen_alarms.awk" >"$work/in.jsonl"

# fresh ENGINE NAME: a new database with the log AlarmLog; its location in $db.
fresh() {
  if [ "$1" = sqlite ]; then
    db=$work/$2.db
  else
    local name="nxbench_$$_$2"
    psql -X -q -v ON_ERROR_STOP=1 -d "$NX_TEST_PG" -c "CREATE DATABASE $name" >/dev/null
    pgdbs+=("$name")
    db=${NX_TEST_PG%/*}/$name
  fi
  "$tool" --db "$db" init >/dev/null
  "$tool" --db "$db" create-log AlarmLog >/dev/null
}

engines=(sqlite)
[ -n "${NX_TEST_PG:-}" ] && engines+=(postgres)
echo "ingest benchmark: $alarms alarms; load: $(cut -d' ' -f1-3 /proc/loadavg)"
for engine in "${engines[@]}"; do
  fresh "$engine" before
  start=$(date +%s%N)
  "$tool" --db "$db" raise --log AlarmLog --type communicationsAlarm --severity major \
    --moi '/systemId=name:"paris-core"/linkId=string:"paris-lyon"' --moc link --cause 3 \
    --text "link down" --count 2000 >/dev/null
  ms=$((($(date +%s%N) - start) / 1000000))
  echo "$engine raise --count 2000: $ms ms, $((2000000 / (ms > 0 ? ms : 1))) alarms/s"
  fresh "$engine" after
  # The machine may be shared: the process's own CPU time says what it
  # costs, the wall clock what it took.
  /usr/bin/time -f "%U %S" -o "$work/cpu" "$tool" --db "$db" ingest "$work/in.jsonl" >"$work/out" 2>&1 || true
  read -r user sys <"$work/cpu"
  echo "$engine ingest: $(tail -1 "$work/out"); CPU ${user}+${sys} s," \
    "$(awk -v n="$alarms" -v u="$user" -v s="$sys" 'BEGIN { printf "%.0f", n / (u + s) }') alarms per CPU second"
done
