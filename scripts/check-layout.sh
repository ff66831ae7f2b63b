#!/bin/bash
# The rule of the layout: a file that needs Win32 lives in a win32/ folder,
# and a file outside one builds without Windows. Checks every tracked C, C++
# and resource file for a Windows header or a win32/ header included from
# outside a win32/ folder (but for "#ifdef _WIN32" blocks), and (given the host build) that the host build
# compiles nothing from a win32/ folder.
#   scripts/check-layout.sh [HOST_BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
host=${1:-}
windows_headers='windows|winbase|winuser|wingdi|winreg|winnls|winerror|winioctl|wincrypt|shlobj|shellapi|shobjidl|shlwapi|objbase|objidl|ole2|oleauto|commctrl|commdlg|mmsystem|tlhelp32|psapi|unknwn|process|intrin|knownfolders|ntddcdrm|ntddstor'
status=0
while IFS= read -r file; do
  [[ $file == */win32/* ]] && continue
  # Lines inside "#ifdef _WIN32" (a pure file built by every tree may add
  # Windows-only cases there) do not count.
  hits=$(awk -v re="^[[:space:]]*#[[:space:]]*include[[:space:]]*(<($windows_headers)\\.h>|\"[^\"]*/win32/[^\"]*\")" '
    /^[[:space:]]*#[[:space:]]*if/ { depth++; if ($0 ~ /_WIN32/ && !windows) windows = depth }
    /^[[:space:]]*#[[:space:]]*endif/ { if (windows == depth) windows = 0; depth-- }
    !windows && $0 ~ re { print FILENAME ":" FNR ": outside a win32/ folder but includes " $0 }' "$file")
  if [[ -n $hits ]]; then
    sed 's/^/check-layout: /' <<<"$hits" >&2
    status=1
  fi
done < <(git ls-files -- '*.c' '*.cpp' '*.h' '*.rc')
if [[ -n $host && -f $host/compile_commands.json ]]; then
  if grep -E '"file": "[^"]*/win32/' "$host/compile_commands.json" >&2; then
    echo "check-layout: the host build compiles the files above from a win32/ folder" >&2
    status=1
  fi
fi
[[ $status == 0 ]] && echo "check-layout: every Win32 file is in a win32/ folder"
exit $status
