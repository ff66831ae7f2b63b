#!/usr/bin/env bash
# check-pe.sh BUILD-DIR
# Every program of the 32-bit build, setup.exe and UnInstall.exe among them,
# must be a PE32 (i386) file that imports system DLLs only: a program on a
# disc cannot bring a runtime along.
# The shipped programs (BUILD-DIR/shipped-programs.txt) are held to more:
#   - they import only DLLs on the system's known-DLL list, which the loader
#     always takes from the system folder; any other DLL (winmm, version,
#     comctl32, ...) would first be looked for beside the program, where a
#     download folder may hold a planted one: such DLLs are loaded at run
#     time by full path instead (framework/system/win32/dll_search.h);
#   - they carry a manifest and version information.
set -euo pipefail
# objdump's words are matched below: keep them untranslated.
export LC_ALL=C
build=$1
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|winmm|msvcrt|shlwapi|version|uuid)\.dll$'
known_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comdlg32|msvcrt|shlwapi|imm32|rpcrt4|ws2_32|setupapi|psapi|imagehlp|normaliz|nsi|wldap32)\.dll$'
objdump=i686-w64-mingw32-objdump

shipped=()
if [ -f "$build/shipped-programs.txt" ]; then
  while IFS= read -r relative; do
    [ -n "$relative" ] && shipped+=("$build/$relative")
  done < "$build/shipped-programs.txt"
fi
is_shipped() {
  local program
  for program in "${shipped[@]}"; do [ "$program" -ef "$1" ] && return 0; done
  return 1
}

status=0
count=0
# The shipped programs must be there: a missing one is a failure, not a
# program less to check.
for program in installer/setup.exe uninstaller/UnInstall.exe; do
  if [ ! -f "$build/$program" ]; then
    echo "check-pe: $build/$program is missing" >&2; status=1
  fi
done
while IFS= read -r -d '' exe; do
  count=$((count + 1))
  format=$($objdump -f "$exe" | sed -n 's/.*file format //p')
  if [ "$format" != "pei-i386" ]; then
    echo "check-pe: $exe is $format, not pei-i386" >&2; status=1
  fi
  allowed=$system_dlls
  is_shipped "$exe" && allowed=$known_dlls
  while read -r dll; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
      if [ "$allowed" = "$known_dlls" ]; then
        echo "check-pe: $exe imports $dll, which is not a known DLL of the system" >&2
      else
        echo "check-pe: $exe imports $dll" >&2
      fi
      status=1
    fi
  done < <($objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$build" -name '*.exe' -not -path '*/CMakeFiles/*' -print0)

# Resource types in the resource directory: 16 is the version information,
# 24 the manifest.
for program in "${shipped[@]}"; do
  if [ ! -f "$program" ]; then
    echo "check-pe: shipped program $program was not built" >&2; status=1; continue
  fi
  types=$(i686-w64-mingw32-windres -i "$program" -O rc 2>/dev/null | sed -n 's/^\/\* Type: //p')
  grep -qx "version" <<<"$types" || { echo "check-pe: $program has no version information" >&2; status=1; }
  grep -qx "24" <<<"$types" || { echo "check-pe: $program has no manifest" >&2; status=1; }
done
echo "check-pe: $count program(s) of $build checked, ${#shipped[@]} of them shipped"
exit $status
