#!/bin/sh
# java_bench.sh BUILD_DIR: the Java benchmark (make bench-java).
#
#  1. records per second of getAlarmsNative for 10 000 and 100 000 records,
#     next to plain JDBC reading the same rows into equally rich Java objects
#     in the same JVM, as a ratio;
#  2. the peak RSS (VmHWM) of a JVM that runs one batched retrieval of
#     1 000 000 records.
#
# The logs are filled the way the MIS fills them: one alarm is raised
# through nxalarm-db (so the row and its times are in the MIS's format) and
# then copied in SQL with new record and notification ids, event types,
# causes, severities, texts, times and managed objects: raising a million
# alarms one by one through the MIS would take far too long. The managed
# objects (500 racks, two in three with one of 48 ports, some names with a
# blank or doubled quotes) are written as the MIS writes the column, so that
# no cache of a repeated name flatters the figures; the copies keep the
# raised row's managed-object id, a column no retrieval reads.
set -e
build=$(cd "${1:-build}" && pwd)
cmake --build "$build" -j2 --target nxalarm nxalarm-db nxalarm-api nxalarm-bench nx_catalog >/dev/null
jdbc=/usr/share/java/sqlite-jdbc.jar
[ -f "$jdbc" ] || { echo "java_bench: $jdbc missing (apt-get install libxerial-sqlite-jdbc-java)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/nx-java-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
db="$work/bench.db"
export NX_ALARM_DB="$db" NX_MIS_NAME=alpha NLSPATH="$build/%N"
tool="$build/nxalarm-db"
"$tool" --db "$db" init >/dev/null

# fill LOG N: the log holds records 1..N of the alarm record table.
fill() {
  log=$1 n=$2
  "$tool" --db "$db" create-log "$log" >/dev/null
  "$tool" --db "$db" raise --log "$log" --type communicationsAlarm --severity major \
    --moi '/systemId=name:"alpha"' --moc system --cause 5 --text "link down" >/dev/null
  table=$(sqlite3 "$db" "SELECT nxlogname FROM nxlog WHERE nxlogid = '$log' AND nxlogrecordtype = 'nxAlm'")
  cols=$(sqlite3 "$db" "SELECT group_concat(name, ', ') FROM pragma_table_info('$table')")
  # The copies' column expressions (a heredoc: the names hold double quotes).
  select=$(sqlite3 "$db" <<EOF
SELECT group_concat(CASE name
  WHEN 'logrecordid' THEN 'n.i'
  WHEN 'notificationid' THEN 'n.i'
  WHEN 'eventname' THEN
    'CASE n.i % 4 WHEN 0 THEN ''communicationsAlarm'' WHEN 1 THEN ''equipmentAlarm'''
    || ' WHEN 2 THEN ''qualityOfServiceAlarm'' ELSE ''processingErrorAlarm'' END'
  WHEN 'moc_s' THEN 'CASE n.i % 3 WHEN 0 THEN ''equipment'' ELSE ''port'' END'
  WHEN 'moi_s' THEN
    '''/systemId=name:"alpha"/equipmentId=name:"'''
    || ' || CASE n.i % 11 WHEN 0 THEN ''rack '' WHEN 1 THEN ''rack ""'' ELSE ''rack'' END'
    || ' || (n.i % 500) || CASE n.i % 11 WHEN 1 THEN ''""'' ELSE '''' END || ''"'''
    || ' || CASE n.i % 3 WHEN 0 THEN '''' ELSE ''/portId=number:'' || (n.i % 48) END'
  WHEN 'probablecause_s' THEN '''localValue : '' || (n.i % 60)'
  WHEN 'perceivedseverity' THEN
    'CASE n.i % 5 WHEN 0 THEN ''critical'' WHEN 1 THEN ''major'' WHEN 2 THEN ''minor'''
    || ' WHEN 3 THEN ''warning'' ELSE ''indeterminate'' END'
  WHEN 'additionaltext' THEN
    'CASE n.i % 4 WHEN 0 THEN ''link down on port '' || (n.i % 48)'
    || ' WHEN 1 THEN ''loss of signal, rack '' || (n.i % 500) || '' since '' || n.i'
    || ' WHEN 2 THEN ''fan '' || (n.i % 6) || '' speed below threshold'''
    || ' ELSE ''power supply '' || (n.i % 2) || '' out of range: '' || (n.i % 1000) || '' mV'' END'
  WHEN 'eventtime' THEN 'datetime(t.eventtime, ''-'' || (n.i % 100000) || '' seconds'')'
  WHEN 'ackstate' THEN 'CASE WHEN n.i % 3 = 0 THEN ''acked'' ELSE ''unAcked'' END'
  WHEN 'acktime' THEN 'CASE WHEN n.i % 3 = 0 THEN t.loggingtime END'
  WHEN 'ackoperator' THEN 'CASE WHEN n.i % 3 = 0 THEN ''operator'' || (n.i % 7) END'
  ELSE 't.' || name END, ', ') FROM pragma_table_info('$table');
EOF
)
  sqlite3 "$db" "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < $n)
    INSERT INTO $table ($cols) SELECT $select FROM n, (SELECT * FROM $table WHERE logrecordid = 1) AS t;"
  echo "filled $log: $(sqlite3 "$db" "SELECT count(*) FROM $table") records" >&2
}

fill Bench10k 10000
fill Bench100k 100000
fill Bench1M 1000000

cp="$build/java/nxalarm-api.jar:$build/java/nxalarm-bench.jar:$jdbc"
# The driver's own JNI library (Debian's libxerial-sqlite-jdbc-jni) stays findable
# beside ours.
jni=$(dirname "$(ls /usr/lib/*/jni/libsqlitejdbc.so /usr/lib/jni/libsqlitejdbc.so 2>/dev/null | head -n 1)")
libpath="$build:$jni"
run() { java -Djava.library.path="$libpath" ${NX_BENCH_JAVA_OPTS:-} -cp "$cp" com.qel.nx.bench.AlarmBench "$@"; }

echo "== getAlarmsNative against JDBC (same JVM, records into AlarmRecord objects)"
run rate "$db" Bench10k Bench100k
echo "== batched retrieval, batch size 1000 (JVM options: ${NX_BENCH_BATCH_OPTS:-the defaults})"
java -Djava.library.path="$libpath" ${NX_BENCH_BATCH_OPTS:-} -cp "$cp" \
  com.qel.nx.bench.AlarmBench batched "$db" Bench1M 1000
echo "== ordered pages (tools/bench_pages.sh)"
"$(dirname "$0")/bench_pages.sh" "$build"
"$(dirname "$0")/bench_ack.sh" "$build"
"$(dirname "$0")/bench_history.sh" "$build"
"$(dirname "$0")/bench_events.sh" "$build"
