#!/bin/sh
# bench_pages.sh BUILD_DIR: ordered pages of a 1 000 000-record log, newest
# event first, 100 records a page (make bench-java runs it).
#
# For SQLite, then PostgreSQL (a throwaway server, tools/pg_test_server.sh):
#  1. getAlarmPageNative: page 1 and page 5000 (read by token), records made
#     in Java, with the calling thread's CPU; getTotal; getAlarmCountNative of
#     10 records, what a read costs beyond its statements (PageBench);
#  2. the database alone, in its own shell: the keyset statement of page
#     5000 against the same page read with OFFSET 499900, and page 1.
#
# The log is filled as tools/java_bench.sh fills it: one alarm raised
# through nxalarm-db, then copied in SQL with new ids, event times (10
# records a second over about 28 hours, one in 997 without a time),
# severities, managed objects and texts.
set -e
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
records=${NX_BENCH_PAGE_RECORDS:-1000000}
size=100
late=5000
runs=${NX_BENCH_PAGE_RUNS:-21}

if [ "${2:-}" != postgres-inner ]; then
  cmake --build "$build" -j2 --target nxalarm nxalarm-db nxalarm-api nxalarm-bench nx_catalog >/dev/null
fi
tool="$build/nxalarm-db"
cp="$build/java/nxalarm-api.jar:$build/java/nxalarm-bench.jar"
export NX_MIS_NAME=alpha NLSPATH="$build/%N"

# The order and keyset of page 5000 as the library writes them.
key="COALESCE(eventtime, '0001-01-01 00:00:00')"
order="$key DESC, logrecordid DESC"
columns="logrecordid, eventtime, perceivedseverity, moi_s, eventname, probablecause_s, additionaltext, ackstate, clearstate, blob"

# copy_select ENGINE COLUMN...: the expressions that copy the raised row t
# into row n.i.
copy_select() {
  engine=$1
  shift
  out=
  for c in "$@"; do
    case $c in
      logrecordid|notificationid) e="n.i" ;;
      eventtime)
        if [ "$engine" = sqlite ]; then
          e="CASE WHEN n.i % 997 = 0 THEN NULL ELSE datetime(t.eventtime, '-' || (n.i / 10) || ' seconds') END"
        else
          e="CASE WHEN n.i % 997 = 0 THEN NULL ELSE t.eventtime - (n.i / 10) * interval '1 second' END"
        fi ;;
      perceivedseverity)
        e="CASE n.i % 6 WHEN 0 THEN 'critical' WHEN 1 THEN 'major' WHEN 2 THEN 'minor' WHEN 3 THEN 'warning' WHEN 4 THEN 'indeterminate' ELSE 'cleared' END" ;;
      moi_s) e="'/systemId=name:\"alpha\"/equipmentId=name:\"rack' || (n.i % 500) || '\"'" ;;
      additionaltext) e="'link down on port ' || (n.i % 48)" ;;
      *) e="t.$c" ;;
    esac
    out="${out:+$out, }$e"
  done
  printf '%s' "$out"
}

raise() {
  "$tool" --db "$1" create-log Pages >/dev/null
  "$tool" --db "$1" raise --log Pages --type communicationsAlarm --severity major \
    --moi '/systemId=name:"alpha"' --moc system --cause 5 --text "link down" >/dev/null
}

java_pages() {
  java -Djava.library.path="$build" ${NX_BENCH_JAVA_OPTS:-} -cp "$cp" com.qel.nx.bench.PageBench Pages $size $late $runs
}

if [ "${2:-}" = postgres-inner ]; then
  server=${NX_PG_TEST_SERVER:-${NX_TEST_PG:-}}
  [ -n "$server" ] || { echo "bench_pages: no PostgreSQL server" >&2; exit 1; }
  psql -X -q -d "$server" -c "CREATE DATABASE nxpages" >/dev/null
  db="${server%/*}/nxpages"
  export NX_ALARM_DB="$db"
  "$tool" --db "$db" init >/dev/null
  raise "$db"
  table=$(psql -X -A -t -d "$db" -c "SELECT nxlogname FROM nxlog WHERE nxlogid = 'Pages' AND nxlogrecordtype = 'nxAlm'")
  cols=$(psql -X -A -t -d "$db" -c "SELECT string_agg(column_name, ' ' ORDER BY ordinal_position) FROM information_schema.columns WHERE table_name = '$table'")
  # shellcheck disable=SC2086
  select=$(copy_select postgres $cols)
  psql -X -q -v ON_ERROR_STOP=1 -d "$db" -c "INSERT INTO $table ($(echo $cols | tr ' ' ',')) SELECT $select FROM generate_series(2, $records) AS n(i), (SELECT * FROM $table WHERE logrecordid = 1) AS t" -c "ANALYZE $table"
  echo "filled: $(psql -X -A -t -d "$db" -c "SELECT count(*) FROM $table") records (PostgreSQL)"
  java_pages
  cursor=$(psql -X -A -t -F ' ' -d "$db" -c "SELECT $key, logrecordid FROM $table ORDER BY $order LIMIT 1 OFFSET $(( (late - 1) * size - 1 ))")
  ctime=$(echo "$cursor" | cut -d' ' -f1-2)
  cid=$(echo "$cursor" | cut -d' ' -f3)
  keyset="($key <= '$ctime' AND ($key < '$ctime' OR ($key = '$ctime' AND logrecordid < $cid)))"
  echo "database alone (psql, \\timing, 5 runs each):"
  for q in "page 1|SELECT $columns FROM $table ORDER BY $order LIMIT $size" \
           "page $late keyset|SELECT $columns FROM $table WHERE $keyset ORDER BY $order LIMIT $size" \
           "page $late OFFSET|SELECT $columns FROM $table ORDER BY $order LIMIT $size OFFSET $(( (late - 1) * size ))"; do
    name=${q%%|*} sql=${q#*|}
    times=$( (printf '%s\n' '\timing on'; for _ in 1 2 3 4 5; do echo "$sql;"; done) | psql -X -q -d "$db" -o /dev/null 2>&1 | sed -n 's/^Time: \([0-9.]*\) ms.*/\1/p' | tr '\n' ' ')
    echo "  $name: $times ms"
  done
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/nx-pages-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
db="$work/pages.db"
export NX_ALARM_DB="$db"
"$tool" --db "$db" init >/dev/null
raise "$db"
table=$(sqlite3 "$db" "SELECT nxlogname FROM nxlog WHERE nxlogid = 'Pages' AND nxlogrecordtype = 'nxAlm'")
cols=$(sqlite3 "$db" "SELECT group_concat(name, ' ') FROM pragma_table_info('$table')")
# shellcheck disable=SC2086
select=$(copy_select sqlite $cols)
sqlite3 "$db" "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < $records)
  INSERT INTO $table ($(echo $cols | tr ' ' ',')) SELECT $select FROM n, (SELECT * FROM $table WHERE logrecordid = 1) AS t;
  ANALYZE;"
echo "== ordered pages, newest first, $size a page"
echo "filled: $(sqlite3 "$db" "SELECT count(*) FROM $table") records (SQLite)"
java_pages
cursor=$(sqlite3 -separator ' ' "$db" "SELECT $key, logrecordid FROM $table ORDER BY $order LIMIT 1 OFFSET $(( (late - 1) * size - 1 ))")
ctime=$(echo "$cursor" | cut -d' ' -f1-2)
cid=$(echo "$cursor" | cut -d' ' -f3)
keyset="($key <= '$ctime' AND ($key < '$ctime' OR ($key = '$ctime' AND logrecordid < $cid)))"
echo "database alone (sqlite3, .timer, 5 runs each, real seconds):"
for q in "page 1|SELECT $columns FROM $table ORDER BY $order LIMIT $size" \
         "page $late keyset|SELECT $columns FROM $table WHERE $keyset ORDER BY $order LIMIT $size" \
         "page $late OFFSET|SELECT $columns FROM $table ORDER BY $order LIMIT $size OFFSET $(( (late - 1) * size ))"; do
  name=${q%%|*} sql=${q#*|}
  times=$( (echo '.timer on'; for _ in 1 2 3 4 5; do echo "$sql;"; done) | sqlite3 "$db" 2>&1 >/dev/null | sed -n 's/^Run Time: real \([0-9.]*\).*/\1/p' | tr '\n' ' ')
  [ -n "$times" ] || times=$( (echo '.timer on'; for _ in 1 2 3 4 5; do echo "$sql;"; done) | sqlite3 "$db" | sed -n 's/^Run Time: real \([0-9.]*\).*/\1/p' | tr '\n' ' ')
  echo "  $name: $times s"
done
rm -rf "$work"
trap - EXIT

echo "== the same on PostgreSQL"
"$here/pg_test_server.sh" run -- "$0" "$build" postgres-inner
