#!/usr/bin/env bash
# host32.sh test | fuzz SECONDS [TARGET...]
# The 32-bit host build (build/host32: clang -m32 with AddressSanitizer and
# UndefinedBehaviorSanitizer), where size arithmetic overflows first as in
# the shipped 32-bit program: builds it and runs its tests, or its fuzz
# targets for SECONDS each. Building needs no 32-bit kernel support, so the
# tree is compiled and linked on every machine; where the machine cannot
# execute 32-bit code, one line says so and nothing is run. Only a missing
# 32-bit toolchain (make deps installs it) skips the build itself.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build="$root/build/host32"
what=${1:-test}
case $what in
  test | fuzz) ;;
  *) echo "usage: host32.sh test | fuzz SECONDS [TARGET...]" >&2; exit 2 ;;
esac

# A probe linked as the tree's fuzz targets are: why it cannot be built, or
# (with "run") why it cannot run; nothing when it can.
probe_fails() {
  local dir out
  dir=$(mktemp -d)
  printf '%s\n' '#include <cstdint>' '#include <cstddef>' \
    'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' >"$dir/p.cpp"
  if ! clang++ -m32 -fsanitize=address,undefined,fuzzer "$dir/p.cpp" -o "$dir/p" >"$dir/log" 2>&1; then
    echo "the 32-bit clang sanitizer and libFuzzer runtime is missing (make deps installs gcc-multilib, g++-multilib and libclang-rt-14-dev): $(tail -n 1 "$dir/log")"
  elif [ "${1:-}" = run ]; then
    if ! out=$(/lib/ld-linux.so.2 --help 2>&1 </dev/null); then
      echo "this machine cannot execute 32-bit code (/lib/ld-linux.so.2: ${out##*: })"
    elif ! "$dir/p" -runs=1 >"$dir/log" 2>&1; then
      echo "the 32-bit sanitizer runtime does not run here: $(tail -n 1 "$dir/log")"
    fi
  fi
  rm -rf "$dir"
}

reason=$(probe_fails)
if [ -n "$reason" ]; then
  echo "32-bit host build: skipped: $reason"
  exit 0
fi

cd "$root" || exit 1
# Configured every time, so an older tree takes up the preset's settings.
cmake --preset host32 >/dev/null || exit 1
cmake --build "$build" -j "$(nproc)" || exit 1
reason=$(probe_fails run)
if [ -n "$reason" ]; then
  echo "32-bit host build: built; its ${what} run skipped: $reason"
  exit 0
fi
cmake --build "$build" --target fuzz_seeds || exit 1
case $what in
  test) exec "$here/run-tests.sh" "$build" ;;
  fuzz) shift; exec "$here/run-fuzz.sh" "$build" "${@:-300}" ;;
esac
