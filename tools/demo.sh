#!/bin/sh
# demo.sh BUILD_DIR: seeds a fresh demo database in the build folder and runs
# the main job against the built library.
set -e
build=$(cd "${1:-build}" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
libs=/usr/share/java  # picocli and Jackson, which the command line's classes use
export NLSPATH="$build/%N"
export NX_MIS_NAME=nxdemo
export NX_ALARM_DB="$build/demo/alarms.db"
mkdir -p "$build/demo"
echo "== seeding $NX_ALARM_DB"
"$top/tools/seed_demo_db.sh" "$build" "$NX_ALARM_DB"
exec java -Djava.library.path="$build" \
  -cp "$build/java/nxalarm-api.jar:$build/java/nxalarm-cli.jar:$build/java/nxalarm-demo.jar:$libs/picocli.jar:$libs/jackson-databind.jar:$libs/jackson-core.jar:$libs/jackson-annotations.jar" \
  com.qel.nx.demo.Demo "$build/nxalarm-db"
