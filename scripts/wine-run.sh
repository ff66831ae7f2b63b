#!/usr/bin/env bash
# wine-run.sh PROGRAM [ARGS...]
# Runs a Windows program of a build tree under Wine, in that tree's own
# prefix, with the Japanese locale (code page 932: BUILD/wineprefix) or the
# one SETUP_WINE_LOCALE names (its own prefix, see wine-env.sh). The prefix
# is created on first use. Without a display the program runs under Xvfb.
# 64-bit programs use Wine's 64-bit loader directly.
set -euo pipefail

prog=$1; shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if [ -z "${SETUP_BUILD_DIR:-}" ]; then
  dir=$(cd "$(dirname "$prog")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] || { echo "wine-run: no build tree above $prog" >&2; exit 2; }
  SETUP_BUILD_DIR=$dir
fi
export SETUP_BUILD_DIR

source "$here/wine-env.sh" "$SETUP_BUILD_DIR"
"$here/wine-prefix.sh" "$SETUP_BUILD_DIR"

loader=$(wine_loader_for "$prog")
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$loader" "$prog" "$@"
fi
exec "$loader" "$prog" "$@"
