#!/usr/bin/env bash
# wine-prefix.sh BUILD-DIR [LOCALE]
# Creates the build tree's Wine prefix for LOCALE once (see wine-env.sh: the
# Japanese one by default, another locale has a prefix of its own): no crash
# dialogs, the Japanese fonts linked to the system's UI fonts as a Windows
# with its Japanese fonts installed links them, and the test drives:
#   M: to R:  CD-ROM drives (type 5) whose media are the folders
#             BUILD/wine-drives/m ... /r (an empty folder is an empty drive)
#   S:        a fixed drive on BUILD/wine-drives/s
# A program in the prefix inserts a "disc" by moving a prepared folder's
# contents into BUILD/wine-drives/<letter> and ejects it by moving them out.
#
# On a loaded machine a Wine call can fail once and work when repeated, so
# each registry write is retried, and the finished prefix is checked before
# it is marked ready (the mark is the last thing written). A failure names
# its step and leaves the prefix unmarked, so the next run starts afresh.
set -euo pipefail
build=$(mkdir -p "$1" && cd "$1" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh" "$build" "${2:-}"

ready="$WINEPREFIX/.setup-ready"
[ -f "$ready" ] && exit 0

mkdir -p "$build"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$ready" ] && exit 0

step="start"
fail() {
  echo "wine-prefix: $step failed${1:+: $1} ($WINEPREFIX)" >&2
  exit 1
}
trap 'fail' ERR

# Waits until the prefix's server has ended, so that everything it holds
# (the registry above all) is written out.
settle() {
  "$WINESERVER" -w >/dev/null 2>&1 || true
}

# wine reg ARGS..., up to four times, the server given time to settle in
# between. Its output goes to stdout.
wine_reg() {
  local attempt out
  for attempt in 1 2 3 4; do
    if out=$("$WINE64" reg "$@" 2>/dev/null); then
      printf '%s\n' "$out"
      return 0
    fi
    [ "$attempt" = 4 ] && break
    echo "wine-prefix: wine reg $1 failed ($step), trying again" >&2
    settle
    sleep "$attempt"
  done
  return 1
}
reg_add() { wine_reg add "$@" /f >/dev/null || fail "wine reg add $*"; }

step="creating the prefix (wineboot)"
rm -rf "$WINEPREFIX"
mkdir -p "$SETUP_DRIVES_DIR"
echo "wine-prefix: creating $WINEPREFIX" >&2
DISPLAY= "$WINE64" wineboot -i >/dev/null 2>&1 || fail "wineboot -i exited with $?"
settle
for f in system.reg user.reg drive_c/windows/system32/kernel32.dll; do
  [ -e "$WINEPREFIX/$f" ] || fail "$f missing after the boot"
done

step="the test drives"
for letter in m n o p q r; do
  mkdir -p "$SETUP_DRIVES_DIR/$letter"
  ln -sfn "$SETUP_DRIVES_DIR/$letter" "$WINEPREFIX/dosdevices/$letter:"
  reg_add 'HKLM\Software\Wine\Drives' /v "$letter:" /d cdrom /reg:64
done
mkdir -p "$SETUP_DRIVES_DIR/s"
ln -sfn "$SETUP_DRIVES_DIR/s" "$WINEPREFIX/dosdevices/s:"
reg_add 'HKLM\Software\Wine\Drives' /v s: /d hd /reg:64

step="the shell folders"
# Wine links the user's Desktop, Documents and the like to the host's home
# folder: shortcuts made by a program would land there, shared by every
# prefix on the machine. Keep them inside this prefix.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm -f "$link"; mkdir -p "$link"; fi
done

step="the display and font settings"
reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
# No window manager runs under Xvfb: windows are not handed to one, so Wine
# draws their frames itself and does not wait (about 2 s) for a manager's
# answer each time a window is hidden or destroyed.
reg_add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
# The dialogs ask for "ＭＳ Ｐゴシック", which the prefix does not have: show
# them in the proportional IPA Gothic instead of a fixed-width fallback.
reg_add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic
# The system's UI fonts fall back on the Japanese ones for the characters
# they lack, as on a Windows with its Japanese fonts: without these links a
# prefix of another locale draws Japanese UTF-16 texts (message boxes, the
# main window's title) as boxes.
system_link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
ui_fonts=('Tahoma' 'MS Shell Dlg' 'MS Shell Dlg 2' 'Microsoft Sans Serif' 'Segoe UI')
for font in "${ui_fonts[@]}"; do
  reg_add "$system_link" /v "$font" /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic\0ipag.ttf,IPAGothic'
done
settle

step="checking the drive types"
drives=$(wine_reg query 'HKLM\Software\Wine\Drives' /reg:64) || fail "wine reg query"
for letter in m n o p q r; do
  grep -Eiq "^ *$letter: +REG_SZ +cdrom" <<<"$drives" || fail "$letter: is not a CD-ROM drive"
  [ "$(readlink "$WINEPREFIX/dosdevices/$letter:")" = "$SETUP_DRIVES_DIR/$letter" ] ||
    fail "$letter: does not lead to $SETUP_DRIVES_DIR/$letter"
done
grep -Eiq "^ *s: +REG_SZ +hd" <<<"$drives" || fail "s: is not a fixed drive"

step="checking the shell folders"
desktops=("$WINEPREFIX"/drive_c/users/*/Desktop)
[ -d "${desktops[0]}" ] || fail "no Desktop folder"
links=$(find "$WINEPREFIX/drive_c/users" -mindepth 2 -maxdepth 2 -type l)
[ -z "$links" ] || fail "still links to the host: $links"

step="checking the display and font settings"
out=$(wine_reg query 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog) || fail "wine reg query"
grep -q 0x0 <<<"$out" || fail "crash dialogs are not off"
out=$(wine_reg query 'HKCU\Software\Wine\X11 Driver' /v Managed) || fail "wine reg query"
grep -Eq "REG_SZ +N" <<<"$out" || fail "Managed is not N"
out=$(wine_reg query 'HKCU\Software\Wine\Fonts\Replacements') || fail "wine reg query"
grep -q IPAPGothic <<<"$out" || fail "no font replaced by IPAPGothic"
out=$(wine_reg query "$system_link") || fail "wine reg query"
for font in "${ui_fonts[@]}"; do
  grep -Eq "^ *$font +REG_MULTI_SZ +ipagp.ttf,IPAPGothic" <<<"$out" || fail "$font is not linked to IPAPGothic"
done
settle

trap - ERR
touch "$ready"
