# source demo-lib.sh
# What the demo (scripts/demo.sh) and the full-install benchmark
# (scripts/bench-install.sh) share: the demo discs, a prefix with CD-ROM
# drives, and a run of setup.exe driven by tools/demo/win32/demo_player.

demo_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Host path to the Win32 path Wine gives it (drive Z: is the host's root).
demo_winpath() { echo "Z:$1" | sed 's|/|\\|g'; }

# True when this machine runs 32-bit Linux code, so Wine can run PE32.
demo_runs_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

# True when the Windows program FILE is 64-bit (PE32+, machine 8664).
demo_is_64bit() {
  local offset
  offset=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  [ "$(od -An -t x2 -j $((offset + 4)) -N 2 "$1" | tr -d ' ')" = 8664 ]
}

# demo_make_discs TOOLS WINDIR OUT [--full | --scale N] [author_discs options...]
# Writes the demo's release folder (tools/demo/make_demo_release: the game
# stand-in of WINDIR, the uninstaller WINDIR/uninstaller/UnInstall.exe,
# setup.exe from $DEMO_SETUP, the demo's data and pictures)
# into OUT.release, and lays out the discs disc1 ... disc6 in OUT with the
# publisher's tool author_discs, as a publisher would (told to take the
# programs of a 64-bit build, which a real disc never carries). TOOLS is the
# host build's tools folder. Both folders are emptied first.
demo_make_discs() {
  local tools=$1 windir=$2 out=$3; shift 3
  local release=$out.release generate=() author=()
  while [ $# -gt 0 ]; do
    case $1 in
      --full) generate+=(--full) ;;
      --scale) generate+=(--scale "$2"); shift ;;
      *) author+=("$1") ;;
    esac
    shift
  done
  local uninstaller=$windir/uninstaller/UnInstall.exe
  if demo_is_64bit "$DEMO_SETUP" || demo_is_64bit "$uninstaller"; then author+=(--allow-64-bit); fi
  rm -rf "$out" "$release"; mkdir -p "$(dirname "$out")"
  ASAN_OPTIONS=detect_leaks=0 "$tools/make_demo_release" "$release" \
    --game "$windir/tools/demo_game.exe" --uninstaller "$uninstaller" --setup "$DEMO_SETUP" \
    "${generate[@]}"
  ASAN_OPTIONS=detect_leaks=0 "$tools/author_discs" "$release" "$out" "${author[@]}"
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

# demo_show_logs [LINES]
# Where the logs of the programs' last runs are in the prefix (the user's
# temporary folder), and their last LINES lines (8 by default).
demo_show_logs() {
  local lines=${1:-8} name log
  for name in Sorvane-setup.log Sorvane-uninstall.log; do
    log=$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -name "$name" -print -quit 2>/dev/null)
    if [ -z "$log" ]; then
      echo "demo: no $name in the prefix's temporary folder"
      continue
    fi
    echo "demo: the log of the run is $log"
    echo "      (C:${log#"$WINEPREFIX/drive_c"} in the prefix); its last lines:" | sed 's|/|\\|g'
    tail -n "$lines" "$log" | tr -d '\r' | sed 's/^\xEF\xBB\xBF//; s/^/  /'
  done
}
