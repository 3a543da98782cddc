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

# fill DB: records 1..n in the log's alarm record table, none acknowledged;
# prints the table's name.
fill() {
  "$tool" --db "$1" init >/dev/null
  "$tool" --db "$1" create-log AckIndex >/dev/null
  "$tool" --db "$1" raise --log AckIndex --type communicationsAlarm --severity major \
    --moi '/systemId=name:"alpha"' --moc system --cause 5 --text "link down" >/dev/null
  table=$(sqlite3 "$1" "SELECT nxlogname FROM nxlog WHERE nxlogid = 'AckIndex' AND nxlogrecordtype = 'nxAlm'")
  cols=$(sqlite3 "$1" "SELECT group_concat(name, ',') FROM pragma_table_info('$table')")
  select=$(echo "$cols" | tr ',' '\n' | sed -e 's/^logrecordid$/n.i/' -e 's/^notificationid$/n.i/' \
    -e '/^n\.i$/!s/^/t./' | paste -s -d, -)
  sqlite3 "$1" "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < $n)
    INSERT INTO $table ($cols) SELECT $select FROM n, (SELECT * FROM $table WHERE logrecordid = 1) AS t"
  echo "$table"
}

for round in $(seq "$rounds"); do
  for index in without with; do
    db="$work/$index-$round.db"
    table=$(fill "$db")
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
