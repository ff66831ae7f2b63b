#!/usr/bin/env bash
# run-bench.sh HOST-RELEASE-DIR WIN-DIR
# Runs every benchmark program (bench_*) of the optimised host tree natively
# and of the Windows tree under Wine. A Windows benchmark bench_NAME that
# has a script scripts/bench-NAME.sh is run through that script (which
# prepares its data and times the host's tools alongside). bench_setup is
# run by scripts/bench-paced.sh (the paced drive), which needs both trees.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
status=0
host=$1 win=$2
found=0
for b in $(find "$host/bench" -maxdepth 1 -type f -executable -name 'bench_*' 2>/dev/null | sort); do
  found=1; echo "== $b"; "$b" || status=1
done
for b in $(find "$win/bench" -maxdepth 1 -type f -name 'bench_*.exe' 2>/dev/null | sort); do
  name=$(basename "$b" .exe); script="$here/bench-${name#bench_}.sh"
  [ "$name" = bench_setup ] && continue
  found=1; echo "== $b"
  if [ -x "$script" ]; then "$script" "$b" || status=1
  else "$here/wine-run.sh" "$b" || status=1; fi
done
if [ -f "$win/bench/bench_setup.exe" ]; then
  found=1; echo "== paced drive (scripts/bench-paced.sh)"
  "$here/bench-paced.sh" "$host" "$win" || status=1
fi
[ $found = 1 ] || echo "no benchmarks built yet"
exit $status
