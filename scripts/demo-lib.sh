# source demo-lib.sh
# What the demo (scripts/demo.sh) and the full-install benchmark
# (scripts/bench-install.sh) share: the demo discs, a prefix with CD-ROM
# drives, and a run of setup.exe driven by tools/demo_driver.

demo_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Host path to the Win32 path Wine gives it (drive Z: is the host's root).
demo_winpath() { echo "Z:$1" | sed 's|/|\\|g'; }

# True when this machine runs 32-bit Linux code, so Wine can run PE32.
demo_runs_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

# demo_make_discs GENERATOR WINDIR OUT [--full] [--archive]
# Writes disc1 ... disc6 into OUT (emptied first) with the stand-in game
# and the real UnInstall.exe of WINDIR, and puts SETUP.EXE (the one in
# $DEMO_SETUP) at the root of disc 1, as a publisher would.
demo_make_discs() {
  local generator=$1 windir=$2 out=$3; shift 3
  rm -rf "$out"; mkdir -p "$out"
  ASAN_OPTIONS=detect_leaks=0 "$generator" "$out" \
    --game "$windir/tools/demo_game.exe" --uninstaller "$windir/uninstaller/UnInstall.exe" "$@"
  cp "$DEMO_SETUP" "$out/disc1/setup.exe"
}

# demo_prefix DIR
# The prefix DIR/wineprefix with the CD-ROM drives M: to R: on
# DIR/wine-drives/m ... /r; every drive emptied, and no earlier
# installation left (setup.exe would start the installed game instead).
demo_prefix() {
  local dir=$1
  "$demo_here/wine-prefix.sh" "$dir"
  source "$demo_here/wine-env.sh" "$dir"
  local letter
  for letter in m n o p q r; do
    rm -rf "${SETUP_DRIVES_DIR:?}/$letter"; mkdir -p "$SETUP_DRIVES_DIR/$letter"
  done
  rm -rf "$WINEPREFIX/drive_c/Program Files/Vintal" "$WINEPREFIX/drive_c/Program Files (x86)/Vintal"
}
