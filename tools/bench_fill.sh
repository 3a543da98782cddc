# bench_fill.sh: sourced by the bulk-change benchmarks (bench_ack.sh,
# bench_history.sh, bench_ack_index.sh).
#
# bench_sql DB SQL: the rows of a statement, one a line; DB is a SQLite file
# or a postgresql:// URI.
bench_sql() {
  case $1 in
    postgres*://*) PGOPTIONS="-c client_min_messages=warning" psql -X -q -A -t -v ON_ERROR_STOP=1 -d "$1" -c "$2" ;;
    *) sqlite3 "$1" "$2" ;;
  esac
}

# bench_fill TOOL DB LOG N: a new database with the log LOG and records 1..N
# in its alarm record table, none acknowledged: one raised through TOOL
# (nxalarm-db), the rest copied in SQL with new record and notification ids.
# Prints the table's name.
bench_fill() {
  _tool=$1 _db=$2 _log=$3 _count=$4
  "$_tool" --db "$_db" init >/dev/null
  "$_tool" --db "$_db" create-log "$_log" >/dev/null
  "$_tool" --db "$_db" raise --log "$_log" --type communicationsAlarm --severity major \
    --moi '/systemId=name:"alpha"' --moc system --cause 5 --text "link down" >/dev/null
  _table=$(bench_sql "$_db" "SELECT nxlogname FROM nxlog WHERE nxlogid = '$_log' AND nxlogrecordtype = 'nxAlm'")
  case $_db in
    postgres*://*)
      _cols=$(bench_sql "$_db" "SELECT string_agg(column_name, ',' ORDER BY ordinal_position)
        FROM information_schema.columns WHERE table_schema = current_schema() AND table_name = lower('$_table')")
      _series="generate_series(2, $_count) AS n(i)" _with= ;;
    *)
      _cols=$(bench_sql "$_db" "SELECT group_concat(name, ',') FROM pragma_table_info('$_table')")
      _series=n _with="WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < $_count)" ;;
  esac
  _select=$(echo "$_cols" | tr ',' '\n' | sed -e 's/^logrecordid$/n.i/' -e 's/^notificationid$/n.i/' \
    -e '/^n\.i$/!s/^/t./' | paste -s -d, -)
  bench_sql "$_db" "$_with INSERT INTO $_table ($_cols) SELECT $_select FROM $_series,
    (SELECT * FROM $_table WHERE logrecordid = 1) AS t" >/dev/null
  echo "$_table"
}
