# source wine-env.sh BUILD-DIR [LOCALE]
# The environment every Wine run of a build tree shares. LOCALE is the host
# locale Wine runs under (default $SETUP_WINE_LOCALE, else ja_JP.UTF-8, whose
# ANSI code page is 932). Each locale has a prefix and test drives of its
# own, so that each has its own wineserver: a server started under one
# locale keeps it for every program that joins it. ja_JP.UTF-8 keeps the
# plain names (BUILD/wineprefix, BUILD/wine-drives); another locale adds
# its name (BUILD/wineprefix-en_US.UTF-8, ...).
wine_locale=${2:-${SETUP_WINE_LOCALE:-ja_JP.UTF-8}}
wine_suffix=""
[ "$wine_locale" = ja_JP.UTF-8 ] || wine_suffix="-$wine_locale"
export WINEPREFIX="$1/wineprefix$wine_suffix"
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts, and no desktop entries for the shortcuts that
# tests create.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
export LC_ALL=$wine_locale LANG=$wine_locale
export SETUP_WINE_LOCALE=$wine_locale
# Folders that stand in for the media of the prefix's CD-ROM drives.
export SETUP_DRIVES_DIR="$1/wine-drives$wine_suffix"

WINE64=/usr/lib/wine/wine64
[ -x "$WINE64" ] || WINE64=$(command -v wine64 || echo wine64)
WINESERVER=/usr/lib/wine/wineserver
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver || echo wineserver)

# The loader for a program: Wine's 64-bit loader for PE32+ files, `wine`
# (which needs a kernel that runs 32-bit code) for PE32 files.
wine_loader_for() {
  local offset machine
  offset=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
  machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$1" | tr -d ' ')
  if [ "$machine" = 8664 ]; then echo "$WINE64"; else echo wine; fi
}
