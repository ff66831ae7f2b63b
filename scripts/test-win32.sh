#!/usr/bin/env bash
# test-win32.sh BUILD-DIR
# The GoogleTest programs of the 32-bit tree, built on every machine and run
# as PE32 programs under 32-bit Wine where this machine executes 32-bit code.
# Whether it does is found by trying: Wine's 32-bit loader is itself a 32-bit
# Linux program. Where it cannot, one line says the run was skipped and why
# (the same sources' tests ran in the 64-bit tree).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$1
loader=/usr/lib/wine/wine

echo "== building the 32-bit tests of $build"
# A tree configured before it had tests gets them now.
cmake "$build" -DSETUP_BUILD_TESTS=ON >/dev/null || exit 1
cmake --build "$build" -j "${JOBS:-2}" || exit 1

reason=""
if [ ! -x "$loader" ]; then
  reason="Wine's 32-bit loader $loader is not installed (package wine32:i386)"
elif ! error=$("$loader" --version 2>&1 >/dev/null); then
  reason="this machine cannot execute 32-bit code ($loader: ${error##*: })"
fi
if [ -n "$reason" ]; then
  echo "== 32-bit tests built; their run skipped: $reason"
  exit 0
fi
exec "$here/run-tests.sh" "$build"
