#!/usr/bin/env bash
# small-drive.sh mount | unmount BUILD-DIR
# Drive T: of the build's test prefixes (one for each locale the tests run
# under: Japanese, and those of BUILD/wine-locales.txt) for the disk-full
# and unattended tests: a tmpfs with room to spare (so the wizard's
# free-space test passes on T:\), and below it the folder T:\small, a tmpfs
# of 16 MiB that the tests fill up to the room they leave an installation,
# and T:\readonly, a tmpfs mounted read-only (no file can be made there, not
# even by root). Mounting needs root; where it is refused,
# <the locale's drives>/t.refused says why and the tests skip.
set -uo pipefail
what=$1
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
locales=(ja_JP.UTF-8)
[ -f "$build/wine-locales.txt" ] && mapfile -t -O 1 locales < <(grep . "$build/wine-locales.txt")

# For the prefix and drives of the locale wine-env.sh was sourced for.
unmount() {
  rm -f "$WINEPREFIX/dosdevices/t:"
  for dir in "$drive/small" "$drive/readonly" "$drive"; do
    if mountpoint -q "$dir"; then umount "$dir" 2>/dev/null || umount -l "$dir"; fi
  done
  rm -rf "$drive" "$refused"
}

refuse() {
  mkdir -p "$SETUP_DRIVES_DIR"
  echo "$1" >"$refused"
  echo "small-drive ($SETUP_WINE_LOCALE): $1"
}

mount_drive() {
  unmount
  [ -d "$WINEPREFIX/dosdevices" ] || { refuse "no prefix $WINEPREFIX"; return; }
  mkdir -p "$drive"
  if ! out=$(mount -t tmpfs -o size=8g,mode=0755 setup-drive-t "$drive" 2>&1) ||
     ! mkdir -p "$drive/small" "$drive/readonly" ||
     ! out=$(mount -t tmpfs -o size=16m,mode=0755 setup-drive-t-small "$drive/small" 2>&1) ||
     ! out=$(mount -t tmpfs -o ro,size=1m,mode=0755 setup-drive-t-readonly "$drive/readonly" 2>&1); then
    unmount
    refuse "mount -t tmpfs refused: ${out:-unknown error}"
    return
  fi
  ln -sfn "$drive" "$WINEPREFIX/dosdevices/t:"
  echo "small-drive ($SETUP_WINE_LOCALE): T: is $drive, T:\\small a tmpfs of 16 MiB, T:\\readonly a read-only one"
}

case $what in
  mount | unmount) ;;
  *) echo "usage: small-drive.sh mount | unmount BUILD-DIR" >&2; exit 2 ;;
esac
for locale in "${locales[@]}"; do
  (
    source "$here/wine-env.sh" "$build" "$locale"
    drive="$SETUP_DRIVES_DIR/t"
    refused="$SETUP_DRIVES_DIR/t.refused"
    if [ "$what" = mount ]; then mount_drive; else unmount; fi
  )
done
exit 0
