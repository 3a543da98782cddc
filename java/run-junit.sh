#!/bin/sh
# run-junit.sh BUILD_DIR CLASSPATH CLASS: runs one JUnit 5 class against the
# built library under -Xcheck:jni; any JNI check warning fails the run.
#
# The library keeps one service per process and reads its environment once,
# so every class gets its own JVM and its own, not yet created, alarm
# database: NX_ALARM_DB names a file in a fresh directory (removed at exit)
# that the class fills with build/nxalarm-db before its first init. With
# NX_TEST_PG (the postgres run) it is instead a new database on that server,
# dropped at exit.
#
# NX_SANITIZE=address (set by CTest in an ASan build): see tools/sanitizer_env.sh.
build=$1 cp=$2 cls=$3
out=$(mktemp)
root=${NX_TEST_TMP:-${TMPDIR:-/tmp}}
mkdir -p "$root"
work=$(mktemp -d "$root/junit-XXXXXX")
trap 'rm -f "$out"; rm -rf "$work"' EXIT
export NX_ALARM_DB="$work/alarms.db"
if [ -n "${NX_TEST_PG:-}" ]; then
  pgdb="nxj_$$_$(basename "$work" | tr -cd 'a-zA-Z0-9' | tr 'A-Z' 'a-z')"
  psql -X -q -v ON_ERROR_STOP=1 -d "$NX_TEST_PG" -c "CREATE DATABASE $pgdb" >/dev/null || {
    echo "run-junit: cannot create a database on $NX_TEST_PG" >&2
    exit 1
  }
  trap 'rm -f "$out"; rm -rf "$work"; psql -X -q -d "$NX_TEST_PG" -c "DROP DATABASE IF EXISTS $pgdb WITH (FORCE)" >/dev/null 2>&1' EXIT
  export NX_ALARM_DB="${NX_TEST_PG%/*}/$pgdb"
fi
export NX_MIS_NAME="${NX_MIS_NAME:-alpha}"
export NLSPATH="$(cd "$build" && pwd)/%N"
. "$(dirname "$0")/../tools/sanitizer_env.sh"
java -Xcheck:jni -ea -Djava.library.path="$build" ${NX_JAVA_OPTS:-} \
  -jar /usr/share/java/junit-platform-console-standalone.jar \
  --disable-banner --details=tree --fail-if-no-tests \
  --class-path "$cp" --select-class "$cls" >"$out" 2>&1
rc=$?
cat "$out"
# -Xcheck:jni reports on the JVM's output: misuse as "WARNING in native
# method" (the run goes on), fatal misuse as "FATAL ERROR" (the JVM aborts),
# too many local references as "WARNING: JNI local refs".
if grep -q -E 'WARNING in native method|FATAL ERROR in native method|JNI call made with exception pending|WARNING: JNI local refs' "$out"; then
  echo "run-junit: JNI check reported a problem" >&2
  exit 1
fi
if grep -q -E '^(==[0-9]+==ERROR: AddressSanitizer|.*runtime error:)' "$out"; then
  echo "run-junit: a sanitizer reported a problem" >&2
  exit 1
fi
exit $rc
