#!/bin/bash
# compare_ingest.sh OLD_BUILD NEW_BUILD [LINES|FILE]: do two builds write the
# same database for the same ingest? Each build's nxalarm-db ingests the
# same varied lines (tools/gen_alarms.awk, 5 000 by default, or a file of
# lines) into a fresh SQLite file; the record tables, the history and the
# journal (event information included, as hex) are dumped and compared.
# Times of the day of the run and the writing process's id differ from run
# to run and are masked. Exit 0 when the dumps are the same.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 OLD_BUILD NEW_BUILD [LINES|FILE]" >&2; exit 2; }
old=$(cd "$1" && pwd)
new=$(cd "$2" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/compare-ingest-XXXXXX")
trap 'rm -rf "$work"' EXIT
if [ -f "${3:-}" ]; then
  cp "$3" "$work/in.jsonl"
else
  awk -v n="${3:-5000}" -v seed=1 -f "$top/tools/gen_alarms.awk" >"$work/in.jsonl"
fi

today=$(date +%Y-%m-%d)
# A history entry's origin is the writing host and process.
origin="'$(hostname)/[0-9]+'"
today_hex=$(printf %s "$(date +%Y%m%d)" | od -An -tx1 | tr -d ' \n')
# dump BUILD NAME: the tables the ingest writes, one line a row, masked.
dump() {
  local db="$work/$2.db"
  "$1/nxalarm-db" --db "$db" init >/dev/null
  "$1/nxalarm-db" --db "$db" create-log AlarmLog >/dev/null
  "$1/nxalarm-db" --db "$db" ingest "$work/in.jsonl" >/dev/null 2>&1
  local tables
  tables="$(sqlite3 "$db" "SELECT nxlogname FROM nxlog ORDER BY nxlogname") nxmis_history nxmis_event nxmoid"
  for t in $tables; do
    local cols
    cols=$(sqlite3 "$db" "SELECT group_concat(CASE WHEN name IN ('blob', 'info', 'moi_ber') THEN 'hex(' || name || ')'
      ELSE 'quote(' || name || ')' END, ' || ''|'' || ') FROM pragma_table_info('$t')")
    echo "== $t"
    sqlite3 "$db" "SELECT $cols FROM $t ORDER BY rowid"
  done | sed -E "s/$today [0-9:]{8}/TODAY/g; s/${today_hex}(3[0-9]){6}/HEXTODAY/gI; s#${origin}#'ORIGIN'#g" >"$work/$2.txt"
}
dump "$old" old
dump "$new" new
echo "$(wc -l <"$work/old.txt") rows"
if cmp -s "$work/old.txt" "$work/new.txt"; then
  echo "same"
else
  diff "$work/old.txt" "$work/new.txt" | head -20
  exit 1
fi
