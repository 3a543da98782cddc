#!/bin/sh
# demo.sh BUILD_DIR: runs the main job against the built library.
set -e
build=${1:-build}
export NLSPATH="$(cd "$build" && pwd)/%N"
exec java -Djava.library.path="$build" \
  -cp "$build/java/nxalarm-api.jar:$build/java/nxalarm-demo.jar" com.qel.nx.demo.Demo "$@"
