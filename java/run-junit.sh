#!/bin/sh
# run-junit.sh BUILD_DIR CLASSPATH CLASS: runs one JUnit 5 class against the
# built library under -Xcheck:jni; any JNI check warning fails the run.
build=$1 cp=$2 cls=$3
out=$(mktemp)
trap 'rm -f "$out"' EXIT
java -Xcheck:jni -ea -Djava.library.path="$build" ${NX_JAVA_OPTS:-} \
  -jar /usr/share/java/junit-platform-console-standalone.jar \
  --disable-banner --details=tree --fail-if-no-tests \
  --class-path "$cp" --select-class "$cls" >"$out" 2>&1
rc=$?
cat "$out"
if grep -q -E 'WARNING in native method|FATAL ERROR in native method|JNI call made with exception pending' "$out"; then
  echo "run-junit: JNI check reported a problem" >&2
  exit 1
fi
exit $rc
