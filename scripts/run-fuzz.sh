#!/usr/bin/env bash
# run-fuzz.sh HOST-DIR SECONDS
# Runs every fuzz target of the host tree for SECONDS each over its corpus,
# which starts from the target's seeds in HOST-DIR/fuzz-seeds/<target> when
# the build wrote any.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$1 seconds=$2
status=0 found=0
for f in $(find "$build/tests" -type f -executable -name 'fuzz_*' | sort); do
  found=1
  name=$(basename "$f")
  echo "== $name for ${seconds}s"
  "$here/run-fuzzer.sh" "$f" "$build/fuzz-corpus/$name" "$seconds" "$build/fuzz-seeds/$name" || status=1
done
[ $found = 1 ] || echo "no fuzz targets built"
exit $status
