#!/usr/bin/env bash
# Runs every libFuzzer binary built in BUILD (files named *_fuzz) on its seed
# corpus for SECONDS each. Seeds come from the source tree's
# <component>/fuzz/corpus/<name>/ and are copied to a scratch corpus, so new
# inputs never land in the repository. Fails when any target finds a crash.
#
#   tools/fuzz.sh BUILD SECONDS
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD SECONDS" >&2
  exit 2
fi
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_OUT:-$root/fuzz-out}
mkdir -p "$out"

mapfile -t targets < <(find "$build" -type f -name '*_fuzz' -perm -u+x | sort)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no *_fuzz binaries under $build" >&2
  exit 1
fi

failed=()
for bin in "${targets[@]}"; do
  name=$(basename "$bin")
  work="$out/$name"
  mkdir -p "$work/corpus" "$work/artifacts"
  seeds=$(find "$root/src" "$root/embedded" -type d -path "*/fuzz/corpus/$name" 2>/dev/null | head -n 1)
  if [ -n "$seeds" ]; then
    cp -n "$seeds"/* "$work/corpus/" 2>/dev/null || true
  else
    echo "warning: no seed corpus for $name" >&2
  fi
  echo "== $name: ${seconds}s"
  if "$bin" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|#[0-9]+.*DONE)' "$work/log" | tail -n 2 || true
  else
    echo "!! $name found a failure; see $work/log and $work/artifacts/" >&2
    tail -n 30 "$work/log" >&2
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzzing failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzzing: ${#targets[@]} targets, no findings"
