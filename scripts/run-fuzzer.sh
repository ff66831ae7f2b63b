#!/usr/bin/env bash
# run-fuzzer.sh FUZZER WORKDIR SECONDS REGRESSIONS [SEED-DIR...]
# Runs each kept input of REGRESSIONS (inputs that once made the target
# fail) once, then fuzzes for SECONDS over the working corpus WORKDIR, which
# grows from the seed folders. Any failure fails the run; the input that
# caused it is saved beside WORKDIR as <target>-crash-..., to be kept in
# REGRESSIONS once the fault is fixed. FUZZ_OPTIONS adds libFuzzer options.
set -euo pipefail
fuzzer=$1 work=$2 seconds=$3 regressions=$4
shift 4
seeds=()
for dir in "$@"; do [ -d "$dir" ] && seeds+=("$dir"); done
mkdir -p "$work"
name=$(basename "$fuzzer")
options=(-timeout=10 -rss_limit_mb=2048 -artifact_prefix="$work/../$name-")

kept=()
[ -d "$regressions" ] && mapfile -t kept < <(find "$regressions" -type f | sort)
if ((${#kept[@]})); then
  "$fuzzer" "${options[@]}" "${kept[@]}" >"$work.regressions.log" 2>&1 || {
    cat "$work.regressions.log"; echo "$name: a kept regression input fails"; exit 1; }
  echo "$name: ${#kept[@]} kept regression inputs pass"
fi
# shellcheck disable=SC2086
exec "$fuzzer" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
  ${FUZZ_OPTIONS:-} "$work" "${seeds[@]}"
