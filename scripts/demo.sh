#!/usr/bin/env bash
# demo.sh - `make demo`: setup.exe installing the demo discs under Wine.
#
# Installs what is missing (make deps), builds the demo's release generator
# and the publisher's disc-authoring tool (host) and setup.exe, writes the
# demo's release folder and lets author_discs lay out six CDs from it into
# build/demo/discs, as a publisher would, makes the demo
# prefix build/demo/wineprefix with CD-ROM drives M: to R:, puts disc 1 in
# M: and runs M:\setup.exe.
#
# With a display (DISPLAY set) a person clicks through; the discs go through
# the one drive M: as on a machine with one CD-ROM drive, and this terminal
# changes them: when setup asks for the next disc, press Enter here, then
# Retry in the prompt; afterwards the installed UnInstall.exe is started so
# the game can be removed again. Without a display the run happens under
# Xvfb and tools/demo/win32/demo_player answers the wizard, changes the discs at the
# prompts, saves screenshots into build/demo/screenshots (PNG), prints what
# was installed, then removes the game with UnInstall.exe (screenshots of
# its question and final message) and says whether the machine is clean.
# Either way it ends with where the two programs' logs are and their last
# lines.
#
# The discs have their real sizes (3979031201 bytes, sparse files) when the
# disk has room for the installation (about 4 GB), else the small set (1/64)
# with a line saying why. DEMO_FULL=1 insists on the real sizes, DEMO_SMALL=1
# asks for the small set. DEMO_ARCHIVE=1: the setup screen's pictures packed
# as data\obj.dat. DEMO_LOCALE names the system's locale (Wine's host
# locale): ja_JP.UTF-8 (code page 932) by default, en_US.UTF-8 for an
# English system (code page 1252), in a prefix of its own.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
source scripts/demo-lib.sh
export SETUP_WINE_LOCALE=${DEMO_LOCALE:-ja_JP.UTF-8}

make -s deps
[ -f build/host-release/build.ninja ] || cmake --preset host-release >/dev/null
[ -f build/win64/build.ninja ] || cmake --preset win64 >/dev/null
cmake --build build/host-release -j2 --target make_demo_release author_discs >/dev/null
cmake --build build/win64 -j2 --target setup demo_game uninstaller demo_player >/dev/null

# The shipped PE32 setup.exe where this machine can run it; else the 64-bit
# build of the same sources.
windir=build/win64
if demo_runs_32bit; then
  [ -f build/win32/build.ninja ] || cmake --preset win32 >/dev/null
  cmake --build build/win32 -j2 --target setup demo_game uninstaller >/dev/null
  windir=build/win32
fi
export DEMO_SETUP=$root/$windir/installer/setup.exe
echo "demo: setup.exe from $windir, the system's locale $SETUP_WINE_LOCALE"

demo=$root/build/demo
flags=()
# Real sizes need the installation's 4 GB and some room for the sparse
# release and discs; the small set needs little.
need=$((5 * 1024))  # MiB
mkdir -p "$demo"
avail=$(df -Pm "$demo" | awk 'NR == 2 { print $4 }')
if [ "${DEMO_FULL:-0}" = 1 ]; then
  flags+=(--full)
elif [ "${DEMO_SMALL:-0}" = 1 ]; then
  echo "demo: the small set (1/64 of the real sizes), as DEMO_SMALL=1 asks"
elif [ "$avail" -ge "$need" ]; then
  flags+=(--full)
else
  echo "demo: only $avail MiB free below build/demo, the real sizes need about $need MiB:"
  echo "      writing the small set (1/64 of the real sizes) instead"
fi
[ "${DEMO_ARCHIVE:-0}" = 1 ] && flags+=(--archive)
echo "demo: author_discs writes the discs into build/demo/discs ${flags[*]:-}"
demo_make_discs "$root/build/host-release/tools" "$root/$windir" "$demo/discs" "${flags[@]}" |
  sed 's/^/  /'
demo_prefix "$demo"
medium=$SETUP_DRIVES_DIR/m

if [ -n "${DISPLAY:-}" ]; then
  mv "$demo/discs/disc1"/* "$medium/"
  loader=$(wine_loader_for "$DEMO_SETUP")
  (cd "$medium" && "$loader" 'M:\setup.exe') &
  setup=$!
  echo "demo: setup.exe runs from drive M: (disc 1). When it asks for the next disc,"
  echo "      press Enter here to change the disc, then Retry."
  disc=1
  while kill -0 "$setup" 2>/dev/null && [ $disc -lt 6 ]; do
    if read -r -t 1 _; then
      mv "$medium"/* "$demo/discs/disc$disc/"
      disc=$((disc + 1))
      mv "$demo/discs/disc$disc"/* "$medium/"
      echo "demo: disc $disc is in drive M:"
    elif [ ! -t 0 ]; then
      sleep 1  # no terminal to read from: just wait for setup.exe
    fi
  done
  wait "$setup" || true
  # What the installation left, as without a display.
  "$(wine_loader_for "$root/build/win64/tools/demo_player.exe")" \
    "$root/build/win64/tools/demo_player.exe" --report | tr -d '\r' || true
  # The uninstaller the installation registered, as a user would start it
  # from the list of installed programs (a PE32 setup.exe wrote the 32-bit
  # view).
  uninstaller=$(for view in 64 32; do
      "$WINE64" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sorvane.exe' \
        /v UninstallString /reg:$view 2>/dev/null
    done | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p' | head -1)
  # Written quoted ("C:\...\UnInstall.exe"); older installations left the
  # quotes out.
  uninstaller=${uninstaller#\"}
  uninstaller=${uninstaller%%\"*}
  if [ -n "$uninstaller" ]; then
    echo "demo: removing the game again with $uninstaller"
    "$(wine_loader_for "$DEMO_SETUP")" "$uninstaller" || true
    "$WINESERVER" -w || true
  fi
  demo_show_logs
  exit 0
fi

shots=$demo/screenshots
rm -rf "$shots"; mkdir -p "$shots"
loader=$(wine_loader_for "$root/build/win64/tools/demo_player.exe")
status=0
xvfb-run -a -s "-screen 0 1024x768x24" "$loader" "$root/build/win64/tools/demo_player.exe" \
  'M:\setup.exe' "$(demo_winpath "$demo/discs")" "$(demo_winpath "$medium")" \
  "$(demo_winpath "$shots")" | tr -d '\r' || status=1
"$WINESERVER" -w || true
for bmp in "$shots"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" -trim +repage "${bmp%.bmp}.png" && rm -f "$bmp"
done
echo "demo: screenshots in build/demo/screenshots:"
ls "$shots" | sed 's/^/  /'
demo_show_logs
exit $status
