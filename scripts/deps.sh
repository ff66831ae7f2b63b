#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Does nothing (and asks no mirror) when everything is already there.
set -euo pipefail

packages=(
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 xvfb xauth x11-utils imagemagick file
  locales fonts-ipafont-gothic fonts-ipafont-mincho bc
  cmake ninja-build googletest ccache osslsigncode openssl
  clang libclang-rt-14-dev
  # The paced drive of the benchmarks (tools/paced_drive/paced_fs.c). As root libfuse3
  # mounts by itself; the fuse3 tools would replace the fuse package.
  libfuse3-dev
  # Disc images: the authoring tool writes them, the tests mount them.
  xorriso fuseiso
  # The 32-bit host build: C and C++ headers and libraries for clang -m32
  # (the i386 sanitizer and libFuzzer runtime comes with libclang-rt-14-dev).
  gcc-multilib g++-multilib
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg -s "$p" >/dev/null 2>&1; then missing+=("$p"); fi
done

if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "deps: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The locales Wine runs the programs under: Japanese (code page 932) and
# English (code page 1252, the second run of the end-to-end tests).
generate=0
for locale in ja_JP en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$locale\.utf-\?8$"; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    grep -qx "$locale.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null ||
      echo "$locale.UTF-8 UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
    generate=1
  fi
done
if [ "$generate" = 1 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo locale-gen >/dev/null
fi
