#!/bin/sh
# bench.sh BUILD_DIR: builds and runs every benchmark program.
set -e
build=${1:-build}
cmake --build "$build" -j2 --target nx_benchmarks
for b in $(find "$build" -maxdepth 4 -type f -name '*_bench' -perm -u+x | sort); do
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=0.5
done
