#!/bin/bash
# exit_test.sh BUILD_DIR SOURCE_DIR [RUNS]: a Java program and `nxalarm watch
# --for 1` must end within 3 s of System.exit, main's return or the end of
# --for, every time, while another process raises alarms as fast as it can
# (the event thread is then nearly always inside a call into the VM).
# A run that does not end within 45 s (start-up included: writers can wait
# long for the raiser's lock) is killed and counted as a hang.
set -u
build=$(cd "$1" && pwd) top=$(cd "$2" && pwd) runs=${3:-20}
mkdir -p "${TMPDIR:-/tmp}"
work=$(mktemp -d "${TMPDIR:-/tmp}/exit-test-XXXXXX")
raiser=
cleanup() {
  [ -n "$raiser" ] && kill "$raiser" 2>/dev/null && wait "$raiser" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export NX_ALARM_DB="$work/alarms.db" NX_MIS_NAME=exitmis NLSPATH="$build/%N" NX_BUILD_DIR="$build"
. "$top/tools/sanitizer_env.sh"
"$build/nxalarm-db" init >/dev/null && "$build/nxalarm-db" create-log AlarmLog >/dev/null || exit 1
"$build/nxalarm-db" raise --log AlarmLog --type communicationsAlarm --severity major \
  --moi '/systemId=name:"exitmis"' --moc system --cause 5 --text flood --count 100000000 >/dev/null &
raiser=$!
now() { date +%s%3N; }
# A sanitized build runs several times slower: its watch is given longer to
# see its first events.
watch_seconds=1
[ -n "${NX_SANITIZE:-}" ] && watch_seconds=3
fail() { echo "FAIL: $*"; }

# Time from the line the program prints as it ends to the end of its process.
java_run() {
  local mode=$1 out=$work/java.out rc ending events end
  timeout -s KILL 45 java -Xcheck:jni -Djava.library.path="$build" \
    -cp "$build/java/nxalarm-api.jar:$build/java/nxalarm-tests.jar" \
    com.qel.nx.api.alarm.ExitProbe "$mode" >"$out" 2>&1
  rc=$? end=$(now)
  read -r ending events < <(sed -n 's/^ENDING \([0-9]*\) \([0-9]*\)$/\1 \2/p' "$out")
  if [ -z "${ending:-}" ]; then fail "java $mode: never got to its end (status $rc): $(tail -3 "$out")"; return; fi
  if [ "$rc" -ne 0 ]; then fail "java $mode: status $rc, $((end - ending)) ms after ending"; return; fi
  if grep -q -E 'WARNING in native method|FATAL ERROR' "$out"; then fail "java $mode: JNI check: $(grep -m1 -E 'WARNING|FATAL' "$out")"; fi
  [ "$events" -gt 0 ] || fail "java $mode: no event arrived, so nothing was tested"
  [ $((end - ending)) -le 3000 ] || fail "java $mode: ended $((end - ending)) ms after its end"
  echo "java $mode: $events events, ended $((end - ending)) ms after System.exit/return"
}

# Time from the count watch prints at the end of --for to the end of its process.
watch_run() {
  local err=$work/watch.err rc end finished events
  timeout -s KILL 45 "$top/bin/nxalarm" watch --for "$watch_seconds" >/dev/null \
    2> >(while IFS= read -r line; do printf '%s %s\n' "$(now)" "$line"; done >"$err")
  rc=$? end=$(now)
  sleep 0.1  # the time-stamping loop finishes
  read -r finished events < <(sed -n 's/^\([0-9]*\) \([0-9]*\) events\{0,1\}$/\1 \2/p' "$err")
  if [ -z "${finished:-}" ]; then fail "watch: never got to the end of --for (status $rc): $(tail -2 "$err")"; return; fi
  [ "$rc" -eq 0 ] || fail "watch: status $rc"
  [ "$events" -gt 0 ] || fail "watch: no event arrived, so nothing was tested"
  [ $((end - finished)) -le 3000 ] || fail "watch: ended $((end - finished)) ms after --for ran out"
  echo "watch: $events events, ended $((end - finished)) ms after --for ran out"
}

sleep 1  # the raiser is under way
# The program and watch run side by side, each timed on its own.
for i in $(seq 1 "$runs"); do
  if [ $((i % 2)) -eq 0 ]; then java_run exit; else java_run return; fi >"$work/java.log" 2>&1 &
  # Taken at once: watch_run's process substitution sets $! too, and waiting
  # on that let the next round's program overwrite this one's output.
  java_pid=$!
  watch_run >"$work/watch.log" 2>&1
  wait "$java_pid"
  cat "$work/java.log" "$work/watch.log" | tee -a "$work/all.log"
done
kill -0 "$raiser" 2>/dev/null || echo "FAIL: the raiser stopped early, so the later runs saw no events" | tee -a "$work/all.log"
failures=$(grep -c '^FAIL' "$work/all.log")
echo "$failures failures in $((runs * 2)) runs"
[ "$failures" -eq 0 ]
