#!/usr/bin/env bash
# check-pe.sh BUILD-DIR
# Every program of the 32-bit build, setup.exe and UnInstall.exe among them,
# must be a PE32 (i386) file that imports system DLLs only: a program on a
# disc cannot bring a runtime along.
set -euo pipefail
build=$1
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|winmm|msvcrt|shlwapi|version|uuid)\.dll$'
status=0
count=0
# The shipped programs must be there: a missing one is a failure, not a
# program less to check.
for shipped in installer/setup.exe uninstaller/UnInstall.exe; do
  if [ ! -f "$build/$shipped" ]; then
    echo "check-pe: $build/$shipped is missing" >&2; status=1
  fi
done
while IFS= read -r -d '' exe; do
  count=$((count + 1))
  format=$(i686-w64-mingw32-objdump -f "$exe" | sed -n 's/.*file format //p')
  if [ "$format" != "pei-i386" ]; then
    echo "check-pe: $exe is $format, not pei-i386" >&2; status=1
  fi
  while read -r dll; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls"; then
      echo "check-pe: $exe imports $dll" >&2; status=1
    fi
  done < <(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$build" -name '*.exe' -not -path '*/CMakeFiles/*' -print0)
echo "check-pe: $count program(s) of $build checked"
exit $status
