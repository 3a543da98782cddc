#!/bin/sh
# bench_ack_index.sh BUILD_DIR [N [ROUNDS]]: what an order index on the
# acknowledge, clear and display times costs a bulk acknowledge on SQLite.
# Alternates a log without those three indexes (dropped after create-log
# made them) and with them, each filled afresh with N records (default
# 10 000), and prints AckBench's figures for both (docs/schema.md).
set -e
build=$(cd "${1:-build}" && pwd)
n=${2:-10000}
rounds=${3:-3}
[ -n "${NX_BENCH_PREBUILT:-}" ] ||
  cmake --build "$build" -j2 --target nxalarm nxalarm-db nxalarm-api nxalarm-bench nx_catalog >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/nx-ack-index-XXXXXX")
trap 'rm -rf "$work"' EXIT
export NX_MIS_NAME=alpha NLSPATH="$build/%N"
tool="$build/nxalarm-db"

. "$(dirname "$0")/bench_fill.sh"

for round in $(seq "$rounds"); do
  for index in without with; do
    db="$work/$index-$round.db"
    table=$(bench_fill "$tool" "$db" AckIndex "$n")
    if [ "$index" = without ]; then
      sqlite3 "$db" "DROP INDEX ${table}_order_acktime; DROP INDEX ${table}_order_cleartime;
        DROP INDEX ${table}_order_displaytime"
    fi
    echo "== round $round, $index the state time order indexes (load $(cut -d' ' -f1 /proc/loadavg))"
    NX_ALARM_DB="$db" java -Djava.library.path="$build" ${NX_BENCH_JAVA_OPTS:-} \
      -cp "$build/java/nxalarm-api.jar:$build/java/nxalarm-bench.jar" com.qel.nx.bench.AckBench AckIndex "$n" 1 |
      grep -E '^(round|ack of)'
    rm -f "$db"
  done
done
