#!/usr/bin/env bash
# run-fuzz.sh HOST-DIR SECONDS [TARGET...]
# Runs every fuzz target the host tree registered (HOST-DIR/fuzz-targets.txt,
# written by CMake's setup_fuzz_target), or only the named ones, one after
# the other for SECONDS each: its kept regression inputs first, then
# fuzzing over its corpus HOST-DIR/fuzz-corpus/<target>, which starts from
# the target's seeds and keeps what earlier runs found.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$1 seconds=$2
shift 2
list="$build/fuzz-targets.txt"
[ -s "$list" ] || { echo "run-fuzz: no fuzz targets listed in $list"; exit 1; }
status=0 ran=0
while IFS=$'\t' read -r name program regressions seeds; do
  if (($#)) && ! printf '%s\n' "$@" | grep -qx "$name"; then continue; fi
  ran=$((ran + 1))
  echo "== $name for ${seconds}s"
  read -ra seed_dirs <<<"${seeds//$'\t'/ }"
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
    "$here/run-fuzzer.sh" "$program" "$build/fuzz-corpus/$name" "$seconds" "$regressions" \
    "${seed_dirs[@]}" || { status=1; echo "== $name FAILED"; }
done <"$list"
((ran)) || { echo "run-fuzz: no target matches: $*"; exit 1; }
exit $status
