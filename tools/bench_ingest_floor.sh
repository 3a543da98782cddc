#!/bin/bash
# bench_ingest_floor.sh BUILD_DIR [ALARMS [ROUNDS]]: how near `nxalarm-db ingest`
# comes to what SQLite alone takes for the same writes. The varied lines of
# tools/gen_alarms.awk are ingested into a fresh database; then the rows that
# ingest wrote (records, history entries, journal rows) are written again by
# the sqlite3 shell as new records, INSERT ... SELECT from copies in memory,
# in transactions of 1 000 alarms as the ingest commits them, with the
# alarms the clears cleared updated the same way and the writer's pragmas.
# No parsing, no statement per row, no client code: the storage's floor for
# the schema. The two are run in turns, ROUNDS times (default 3).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
alarms=${2:-20000}
rounds=${3:-3}
top=$(cd "$(dirname "$0")/.." && pwd)
tool=$build/nxalarm-db
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-floor-XXXXXX")
trap 'rm -rf "$work"' EXIT
awk -v n="$alarms" -v seed=1 -f "$top/tools/gen_alarms.awk" >"$work/in.jsonl"

# ingest DB: a fresh database with the log AlarmLog, the lines ingested.
ingest() {
  rm -f "$1" "$1-wal" "$1-shm"
  "$tool" --db "$1" init >/dev/null
  "$tool" --db "$1" create-log AlarmLog >/dev/null
  /usr/bin/time -f "%e %U %S" -o "$work/time" "$tool" --db "$1" ingest "$work/in.jsonl" >/dev/null 2>&1
}
ingest "$work/source.db"
table=$(sqlite3 "$work/source.db" "SELECT nxlogname FROM nxlog WHERE nxlogid = 'AlarmLog' AND nxlogrecordtype = 'nxAlm'")
cols=$(sqlite3 "$work/source.db" "SELECT group_concat(name, ',') FROM pragma_table_info('$table')")
# New ids above the ingested ones; the clear state as before the clears.
shift_ids=$((alarms * 10))
select=$(echo "$cols" | sed -e "s/\blogrecordid\b/logrecordid + $shift_ids/" -e "s/\bclearstate\b/'unCleared'/" \
  -e "s/\bcleartime\b/NULL/" -e "s/\bclearoperator\b/NULL/")
hcols="log,log_key,logrecordid,kind,state_before,state_after,operator,time,text,origin,by_record"
hselect=$(echo "$hcols" | sed -e "s/logrecordid/logrecordid + $shift_ids/")
entries=$(sqlite3 "$work/source.db" "SELECT MAX(seq) FROM nxmis_history")
events=$(sqlite3 "$work/source.db" "SELECT MAX(seq) FROM nxmis_event")
batches=$(((alarms + 999) / 1000))
{
  echo "PRAGMA cache_size = -65536; PRAGMA wal_autocheckpoint = 4000; PRAGMA temp_store = MEMORY;"
  echo "CREATE TEMP TABLE r AS SELECT * FROM $table; CREATE TEMP TABLE h AS SELECT * FROM nxmis_history;"
  echo "CREATE TEMP TABLE e AS SELECT * FROM nxmis_event;"
  # Each batch picks its rows out of the copies by key: without these
  # indexes every batch would scan all three copies, and the floor would
  # count those scans as the storage's work.
  echo "CREATE INDEX temp.r_id ON r (logrecordid); CREATE INDEX temp.h_seq ON h (seq); CREATE INDEX temp.e_seq ON e (seq);"
} >"$work/copies.sql"
{
  cat "$work/copies.sql"
  for b in $(seq 0 $((batches - 1))); do
    lo=$((b * 1000)) hi=$(((b + 1) * 1000))
    hlo=$((b * entries / batches)) hhi=$(((b + 1) * entries / batches))
    elo=$((b * events / batches)) ehi=$(((b + 1) * events / batches))
    echo "BEGIN;"
    echo "INSERT INTO $table ($cols) SELECT $select FROM r WHERE logrecordid > $lo AND logrecordid <= $hi;"
    echo "UPDATE $table SET clearstate = 'cleared', cleartime = '2026-01-01 00:00:00', clearoperator = 'floor'"
    echo "  WHERE logrecordid IN (SELECT logrecordid + $shift_ids FROM r WHERE logrecordid > $lo AND logrecordid <= $hi AND clearstate = 'cleared');"
    echo "INSERT INTO nxmis_history ($hcols) SELECT $hselect FROM h WHERE seq > $hlo AND seq <= $hhi;"
    echo "INSERT INTO nxmis_event (kind, objname, objclass, info) SELECT kind, objname, objclass, info FROM e"
    echo "  WHERE seq > $elo AND seq <= $ehi;"
    echo "COMMIT;"
  done
} >"$work/floor.sql"

echo "ingest against the storage's floor: $alarms alarms; load: $(cut -d' ' -f1-3 /proc/loadavg)"
for r in $(seq 1 "$rounds"); do
  ingest "$work/run.db"
  read -r wall user sys <"$work/time"
  echo "ingest: $wall s, CPU $user + $sys s"
  cp "$work/source.db" "$work/floor.db"
  rm -f "$work/floor.db-wal" "$work/floor.db-shm"
  /usr/bin/time -f "%e %U %S" -o "$work/time" sqlite3 "$work/floor.db" <"$work/floor.sql" >/dev/null
  cp "$work/floor.db" "$work/floor-done.db"
  read -r wall user sys <"$work/time"
  echo "floor:  $wall s, CPU $user + $sys s (the sqlite3 shell, copies made in memory first included)"
  cp "$work/source.db" "$work/floor.db"
  rm -f "$work/floor.db-wal" "$work/floor.db-shm"
  /usr/bin/time -f "%e %U %S" -o "$work/time" sqlite3 "$work/floor.db" <"$work/copies.sql" >/dev/null
  read -r wall user sys <"$work/time"
  echo "copies: $wall s, CPU $user + $sys s (what of the floor's time is not the storage's)"
done
# The floor wrote what the ingest wrote: each count doubled.
counts="SELECT (SELECT COUNT(*) FROM $table) || ' ' || (SELECT COUNT(*) FROM $table WHERE clearstate = 'cleared')
  || ' ' || (SELECT COUNT(*) FROM nxmis_history) || ' ' || (SELECT COUNT(*) FROM nxmis_event)"
read -r n c h e < <(sqlite3 "$work/source.db" "$counts")
expected="$((2 * n)) $((2 * c)) $((2 * h)) $((2 * e))"
got=$(sqlite3 "$work/floor-done.db" "$counts")
[ "$got" = "$expected" ] || { echo "the floor wrote $got (records, cleared, entries, journal), not $expected" >&2; exit 1; }
