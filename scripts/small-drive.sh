#!/usr/bin/env bash
# small-drive.sh mount | unmount BUILD-DIR
# Drive T: of the build's test prefix for the disk-full tests: a tmpfs with
# room to spare (so the wizard's free-space test passes on T:\), and below
# it the folder T:\small, a tmpfs of 16 MiB that the tests fill up to the
# room they leave an installation, and T:\readonly, a tmpfs mounted
# read-only (no file can be made there, not even by root). Mounting needs
# root; where it is refused, BUILD/wine-drives/t.refused says why and the
# tests skip.
set -uo pipefail
what=$1
build=$(cd "$2" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh" "$build"
drive="$SETUP_DRIVES_DIR/t"
refused="$SETUP_DRIVES_DIR/t.refused"

unmount() {
  rm -f "$WINEPREFIX/dosdevices/t:"
  for dir in "$drive/small" "$drive/readonly" "$drive"; do
    if mountpoint -q "$dir"; then umount "$dir" 2>/dev/null || umount -l "$dir"; fi
  done
  rm -rf "$drive" "$refused"
}

case $what in
  mount)
    unmount
    mkdir -p "$drive"
    if ! out=$(mount -t tmpfs -o size=8g,mode=0755 setup-drive-t "$drive" 2>&1) ||
       ! mkdir -p "$drive/small" "$drive/readonly" ||
       ! out=$(mount -t tmpfs -o size=16m,mode=0755 setup-drive-t-small "$drive/small" 2>&1) ||
       ! out=$(mount -t tmpfs -o ro,size=1m,mode=0755 setup-drive-t-readonly "$drive/readonly" 2>&1); then
      unmount
      mkdir -p "$SETUP_DRIVES_DIR"
      echo "mount -t tmpfs refused: ${out:-unknown error}" >"$refused"
      echo "small-drive: $(cat "$refused")"
      exit 0
    fi
    ln -sfn "$drive" "$WINEPREFIX/dosdevices/t:"
    echo "small-drive: T: is $drive, T:\\small a tmpfs of 16 MiB, T:\\readonly a read-only one"
    ;;
  unmount) unmount ;;
  *) echo "usage: small-drive.sh mount | unmount BUILD-DIR" >&2; exit 2 ;;
esac
