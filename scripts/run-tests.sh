#!/usr/bin/env bash
# run-tests.sh BUILD-DIR...
# Runs the CTest suite of each build tree and fails when any test fails.
# Win32 trees run under one Xvfb display, each locale a test runs under
# (Japanese, and those of wine-locales.txt) in a prefix of its own.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
status=0
for build in "$@"; do
  echo "== tests of $build"
  if grep -q "w64-mingw32" "$build/CMakeCache.txt" 2>/dev/null; then
    build=$(cd "$build" && pwd)
    locales=(ja_JP.UTF-8)
    [ -f "$build/wine-locales.txt" ] && mapfile -t -O 1 locales < <(grep . "$build/wine-locales.txt")
    prepared=1
    for locale in "${locales[@]}"; do
      "$here/wine-prefix.sh" "$build" "$locale" || prepared=0
    done
    [ "$prepared" = 1 ] || { status=1; continue; }
    (
      # Every prefix's server ends before and after: a test must meet a
      # server of its own locale, and leave none behind.
      stop_servers() {
        local locale
        for locale in "${locales[@]}"; do
          (source "$here/wine-env.sh" "$build" "$locale"; "$WINESERVER" -k >/dev/null 2>&1 || true)
        done
      }
      source "$here/wine-env.sh" "$build"
      stop_servers
      xvfb-run -a -s "-screen 0 1024x768x24" \
        ctest --test-dir "$build" --output-on-failure -j 2 --timeout 600
      rc=$?
      stop_servers
      exit $rc
    ) || status=1
  else
    ctest --test-dir "$build" --output-on-failure -j 2 --timeout 600 || status=1
  fi
done
exit $status
