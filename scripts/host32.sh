#!/usr/bin/env bash
# host32.sh test | fuzz SECONDS [TARGET...]
# The 32-bit host build (build/host32: clang -m32 with AddressSanitizer and
# UndefinedBehaviorSanitizer), where size arithmetic overflows first as in
# the shipped 32-bit program: builds it and runs its tests, or its fuzz
# targets for SECONDS each. Where the machine cannot execute 32-bit code or
# lacks the 32-bit sanitizer runtime, prints one line saying so and
# succeeds without building anything.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
build="$root/build/host32"
what=${1:-test}

# Why 32-bit code cannot run here; nothing when it can.
why_not() {
  local out
  if ! out=$(/lib/ld-linux.so.2 --help 2>&1 </dev/null); then
    echo "this machine cannot execute 32-bit code (/lib/ld-linux.so.2: ${out##*: })"
    return
  fi
  local probe
  probe=$(mktemp -d)
  printf '%s\n' '#include <cstdint>' '#include <cstddef>' \
    'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' >"$probe/p.cpp"
  if ! clang++ -m32 -fsanitize=address,undefined,fuzzer "$probe/p.cpp" -o "$probe/p" \
       >"$probe/log" 2>&1 || ! "$probe/p" -runs=1 >>"$probe/log" 2>&1; then
    echo "the 32-bit clang sanitizer and libFuzzer runtime is missing or does not run (make deps installs gcc-multilib, g++-multilib and libclang-rt-14-dev): $(tail -n 1 "$probe/log")"
  fi
  rm -rf "$probe"
}

reason=$(why_not)
if [ -n "$reason" ]; then
  echo "32-bit host build: skipped: $reason"
  exit 0
fi

cd "$root" || exit 1
[ -f "$build/build.ninja" ] || cmake --preset host32 >/dev/null || exit 1
cmake --build "$build" -j "$(nproc)" || exit 1
case $what in
  test) exec "$here/run-tests.sh" "$build" ;;
  fuzz) shift; exec "$here/run-fuzz.sh" "$build" "${@:-300}" ;;
  *) echo "usage: host32.sh test | fuzz SECONDS [TARGET...]" >&2; exit 2 ;;
esac
