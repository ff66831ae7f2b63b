#!/usr/bin/env bash
# run-tests.sh BUILD-DIR...
# Runs the CTest suite of each build tree and fails when any test fails.
# Win32 trees run under one Xvfb display with their own Wine prefix.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
status=0
for build in "$@"; do
  echo "== tests of $build"
  if grep -q "w64-mingw32" "$build/CMakeCache.txt" 2>/dev/null; then
    "$here/wine-prefix.sh" "$build" || { status=1; continue; }
    (
      source "$here/wine-env.sh" "$(cd "$build" && pwd)"
      "$WINESERVER" -k >/dev/null 2>&1 || true
      xvfb-run -a -s "-screen 0 1024x768x24" \
        ctest --test-dir "$build" --output-on-failure -j 2 --timeout 600
      rc=$?
      "$WINESERVER" -k >/dev/null 2>&1 || true
      exit $rc
    ) || status=1
  else
    ctest --test-dir "$build" --output-on-failure -j 2 --timeout 600 || status=1
  fi
done
exit $status
