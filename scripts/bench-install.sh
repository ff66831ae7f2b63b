#!/usr/bin/env bash
# bench-install.sh BENCH_INSTALL_EXE
# Full-install benchmark: setup.exe installs the full-size demo discs
# (3979031201 bytes over six discs changed in drive M:, the wizard answered
# automatically by the demo player) into its prefix, against `cp` of the
# same files from the same discs into one folder, in the same run. Both
# times run to the end of the write-back (sync). Prints both and the ratio
# (setup / cp; lower is better). The discs are sparse files in a temporary
# folder of the build tree; they and the installation are removed at the
# end (the prefix, build/win64/bench/install-run, is kept for the next run).
set -euo pipefail
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(dirname "$(dirname "$exe")")
root=$(dirname "$here")
source "$here/demo-lib.sh"

tools=$root/build/host-release/tools
[ -x "$tools/author_discs" ] || tools=$root/build/host/tools
[ -x "$tools/author_discs" ] || { echo "bench-install: build make_demo_release and author_discs first" >&2; exit 1; }
export DEMO_SETUP=$build/installer/setup.exe
total=3979031201

need=$((9 * 1024))   # MiB: one installation, one cp, and headroom
avail=$(df -Pm "$build" | awk 'NR == 2 { print $4 }')
if [ "$avail" -lt "$need" ]; then
  echo "bench-install: needs ${need} MiB free below $build, has ${avail} MiB" >&2
  exit 1
fi

work=$build/bench/install-run
tmp=$(mktemp -d "$build/bench/install-tmp.XXXXXX")
installed=
cleanup() { rm -rf "$tmp"; [ -z "$installed" ] || rm -rf "$installed"; }
trap cleanup EXIT
demo_make_discs "$tools" "$build" "$tmp/discs" --full --quiet >/dev/null
demo_prefix "$work"
installed="$WINEPREFIX/drive_c/Program Files/Vintal"
medium=$SETUP_DRIVES_DIR/m
now() { date +%s.%N; }

# The sparse sources read once before either timing.
cat "$tmp"/discs/disc*/data/data/* >/dev/null
sync

t0=$(now)
xvfb-run -a -s "-screen 0 1024x768x24" "$(wine_loader_for "$exe")" "$exe" 'M:\setup.exe' \
  "$(demo_winpath "$tmp/discs")" "$(demo_winpath "$medium")" - --quiet | tr -d '\r' >"$tmp/log" ||
  { cat "$tmp/log" >&2; echo "bench-install: the installation did not complete" >&2; exit 1; }
sync
setup_time=$(echo "$(now) - $t0" | bc -l)
"$WINESERVER" -w || true
got=$(find "$installed" -type f -printf '%s\n' | paste -sd+ - | bc)
files=$(find "$installed" -type f | wc -l)
[ "$got" = "$total" ] && [ "$files" = 11 ] ||
  { echo "bench-install: installed $files files, $got bytes; expected 11, $total" >&2; exit 1; }
rm -rf "$installed"; sync

mkdir -p "$tmp/cp"
t0=$(now)
for disc in 1 2 3 4 5 6; do
  cp --sparse=never "$tmp/discs/disc$disc/data/data"/* "$tmp/cp/"
done
sync
cp_time=$(echo "$(now) - $t0" | bc -l)
got=$(find "$tmp/cp" -type f -printf '%s\n' | paste -sd+ - | bc)
[ "$got" = "$total" ] || { echo "bench-install: cp wrote $got bytes" >&2; exit 1; }

printf 'full installation, %d bytes from six discs, caches warm, until synced\n' "$total"
printf '%-44s %8.2f s %8.1f MB/s\n' "setup.exe (wizard answered, 5 disc changes)" "$setup_time" \
  "$(echo "$total / 1000000 / $setup_time" | bc -l)"
printf '%-44s %8.2f s %8.1f MB/s\n' "cp --sparse=never of the 15 files" "$cp_time" \
  "$(echo "$total / 1000000 / $cp_time" | bc -l)"
printf 'ratio (setup.exe time / cp time): %.3f\n' "$(echo "$setup_time / $cp_time" | bc -l)"
