#!/usr/bin/env bash
# wine-prefix.sh BUILD-DIR
# Creates the build tree's Wine prefix once: Japanese locale, no crash
# dialogs, and the test drives:
#   M: to R:  CD-ROM drives (type 5) whose media are the folders
#             BUILD/wine-drives/m ... /r (an empty folder is an empty drive)
#   S:        a fixed drive on BUILD/wine-drives/s
# A program in the prefix inserts a "disc" by moving a prepared folder's
# contents into BUILD/wine-drives/<letter> and ejects it by moving them out.
set -euo pipefail
build=$(mkdir -p "$1" && cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh" "$build"

ready="$WINEPREFIX/.setup-ready"
[ -f "$ready" ] && exit 0

mkdir -p "$build"
exec 9>"$build/wineprefix.lock"
flock 9
[ -f "$ready" ] && exit 0

rm -rf "$WINEPREFIX"
mkdir -p "$SETUP_DRIVES_DIR"
echo "wine-prefix: creating $WINEPREFIX" >&2
DISPLAY= "$WINE64" wineboot -i >/dev/null 2>&1 || true
"$WINESERVER" -w || true

reg() { "$WINE64" reg "$@" >/dev/null 2>&1; }
reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
for letter in m n o p q r; do
  mkdir -p "$SETUP_DRIVES_DIR/$letter"
  ln -sfn "$SETUP_DRIVES_DIR/$letter" "$WINEPREFIX/dosdevices/$letter:"
  reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d cdrom /f /reg:64
done
mkdir -p "$SETUP_DRIVES_DIR/s"
ln -sfn "$SETUP_DRIVES_DIR/s" "$WINEPREFIX/dosdevices/s:"
reg add 'HKLM\Software\Wine\Drives' /v s: /d hd /f /reg:64
# Wine links the user's Desktop, Documents and the like to the host's home
# folder: shortcuts made by a program would land there, shared by every
# prefix on the machine. Keep them inside this prefix.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm -f "$link"; mkdir -p "$link"; fi
done
"$WINESERVER" -k || true
"$WINESERVER" -w || true

touch "$ready"

# No window manager runs under Xvfb: windows are not handed to one, so Wine
# draws their frames itself and does not wait (about 2 s) for a manager's
# answer each time a window is hidden or destroyed.
reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
"$WINESERVER" -w || true
# The dialogs ask for "ＭＳ Ｐゴシック", which the prefix does not have: show
# them in the proportional IPA Gothic instead of a fixed-width fallback.
reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f
"$WINESERVER" -w || true
