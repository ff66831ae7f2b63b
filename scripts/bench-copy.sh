#!/usr/bin/env bash
# bench-copy.sh BENCH_COPY_EXE
# Copy benchmark: times CCopyJob over a set of files (over 1 GiB, one file
# above 200 MiB) and one CJoinJob over four parts, against Wine's own
# CopyFileExW and a plain ReadFile/WriteFile loop in the same Wine process,
# in the same run, with warm caches: the peers that pay the same Wine file
# I/O. `dd bs=2M` of the same bytes is shown for reference only (native I/O
# is not what a Windows program gets). Prints the MB/s of each and the
# ratios of the times (lower is better). BENCH_COPY_SCALE=N divides every
# size by N for a quicker run. BENCH_BASELINE=DIR adds the jobs of another
# build (DIR/bench_copy.exe) to every round, beside this build's.
# The files live in a temporary folder of the build tree and are removed at
# the end.
set -euo pipefail
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(dirname "$(dirname "$exe")")
MiB=$((1024 * 1024))

scale=${BENCH_COPY_SCALE:-1}
need=$((5 * 1024 / scale))   # MiB: sources, one copy at a time, and headroom
avail=$(df -Pm "$build" | awk 'NR == 2 { print $4 }')
if [ "$avail" -lt "$need" ]; then
  echo "bench-copy: needs ${need} MiB free below $build, has ${avail} MiB" >&2
  exit 1
fi

tmp=$(mktemp -d "$build/bench/copy-tmp.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/src" "$tmp/out"

# The four parts of the join come first; sizes are not multiples of the
# chunks. 1,078,998,135 bytes (1029 MiB) in all.
sizes=(
  $((300 * MiB + 12345))  # above 2 MiB x 100
  $((260 * MiB + 77))
  $((200 * MiB + 5))
  $((180 * MiB + 3))
  $((64 * MiB + 1))
  $((21 * MiB + 999))
  $((3 * MiB))
  $((1 * MiB + 1))
)
sources=()
for i in "${!sizes[@]}"; do
  sizes[$i]=$((sizes[$i] / scale))
  f="$tmp/src/file$i.bin"
  head -c "${sizes[$i]}" /dev/urandom > "$f"
  sources+=("$f")
done
parts=("${sources[@]:0:4}")
total=0; for s in "${sizes[@]}"; do total=$((total + s)); done
join_total=0; for s in "${sizes[@]:0:4}"; do join_total=$((join_total + s)); done

winpath() { echo "Z:$1" | sed 's|/|\\|g'; }
now() { date +%s.%N; }
# The faster of two times.
best() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }
winsrc=(); for f in "${sources[@]}"; do winsrc+=("$(winpath "$f")"); done
winparts=(); for f in "${parts[@]}"; do winparts+=("$(winpath "$f")"); done

# Each timed phase starts with an empty output folder and nothing left to
# write back (sync), so no phase pays for the writes of the one before.
fresh() { rm -f "$tmp/out"/*; sync; }
# Runs the Windows program ($job_exe, else this build's); sets `bytes` and
# `seconds`.
run_win() { read -r _ bytes seconds < <(SETUP_BUILD_DIR=$build "$here/wine-run.sh" "${job_exe:-$exe}" "$@" | tr -d '\r'); }

phase_dd_copy() {   # dd, one file at a time, as the jobs do
  fresh; local t0=$(now)
  for f in "${sources[@]}"; do dd if="$f" of="$tmp/out/$(basename "$f")" bs=2M status=none; done
  dd_copy=$(best "$dd_copy" "$(echo "$(now) - $t0" | bc -l)")
}
phase_job_copy() {  # the same bytes with one CCopyJob per file
  fresh; run_win copy "$(winpath "$tmp/out")" "${winsrc[@]}"
  [ "$bytes" = "$total" ] || { echo "bench-copy: copied $bytes bytes, expected $total" >&2; exit 1; }
  job_copy=$(best "$job_copy" "$seconds")
  for f in "${sources[@]}"; do
    cmp -s "$f" "$tmp/out/$(basename "$f")" || { echo "bench-copy: copy of $f differs" >&2; exit 1; }
  done
}
phase_base_copy() {  # the baseline's jobs over the same files
  job_exe=$BENCH_BASELINE/bench_copy.exe; local job_copy=$base_copy; phase_job_copy; base_copy=$job_copy; job_exe=
}
phase_base_join() {
  job_exe=$BENCH_BASELINE/bench_copy.exe; local job_join=$base_join; phase_job_join; base_join=$job_join; job_exe=
}
phase_raw_copy() {  # the same bytes with a plain ReadFile/WriteFile loop
  fresh; run_win raw "$(winpath "$tmp/out")" "${winsrc[@]}"
  [ "$bytes" = "$total" ] || { echo "bench-copy: plain loop copied $bytes bytes, expected $total" >&2; exit 1; }
  raw_copy=$(best "$raw_copy" "$seconds")
}
phase_copyfile_copy() {  # the same bytes with Wine's CopyFileExW
  fresh; run_win copyfile "$(winpath "$tmp/out")" "${winsrc[@]}"
  [ "$bytes" = "$total" ] || { echo "bench-copy: CopyFileExW copied $bytes bytes, expected $total" >&2; exit 1; }
  copyfile_copy=$(best "$copyfile_copy" "$seconds")
}
phase_dd_join() {   # dd of the four parts into one file
  fresh; local t0=$(now)
  for f in "${parts[@]}"; do dd if="$f" of="$tmp/out/dd.dat" bs=2M oflag=append conv=notrunc status=none; done
  dd_join=$(best "$dd_join" "$(echo "$(now) - $t0" | bc -l)")
}
phase_job_join() {  # one CJoinJob over the same four parts
  fresh; run_win join "$(winpath "$tmp/out/joined.dat")" "${winparts[@]}"
  [ "$bytes" = "$join_total" ] || { echo "bench-copy: joined $bytes bytes, expected $join_total" >&2; exit 1; }
  job_join=$(best "$job_join" "$seconds")
  cat "${parts[@]}" | cmp -s - "$tmp/out/joined.dat" || { echo "bench-copy: joined file differs" >&2; exit 1; }
}

# Warm the caches: every source is read once before any timing. The phases
# run over several rounds, in reverse order every other round so that none
# always follows the same neighbour, and the best time of each counts.
cat "${sources[@]}" > /dev/null
rounds=${BENCH_COPY_ROUNDS:-5}
dd_copy= job_copy= raw_copy= copyfile_copy= dd_join= job_join= base_copy= base_join=
order=(phase_dd_copy phase_job_copy phase_raw_copy phase_copyfile_copy phase_dd_join phase_job_join)
[ -z "${BENCH_BASELINE:-}" ] || order+=(phase_base_copy phase_base_join)
for round in $(seq "$rounds"); do
  if [ $((round % 2)) = 1 ]; then
    for p in "${order[@]}"; do "$p"; done
  else
    for ((i = ${#order[@]} - 1; i >= 0; i--)); do "${order[$i]}"; done
  fi
done
rm -f "$tmp/out"/*

mbs() { echo "scale=1; $1 / 1000000 / $2" | bc -l; }
ratio() { echo "scale=3; $1 / $2" | bc -l; }
echo "best of $rounds rounds, warm caches"
printf '%-34s %8s %8s\n' "" "MB/s" "seconds"
printf '%-40s %8s %8.3f\n' "CCopyJob, 8 files, $((total / 1000000)) MB" "$(mbs "$total" "$job_copy")" "$job_copy"
printf '%-40s %8s %8.3f\n' "CopyFileExW (Wine), 8 files" "$(mbs "$total" "$copyfile_copy")" "$copyfile_copy"
printf '%-40s %8s %8.3f\n' "ReadFile/WriteFile loop (Wine), 8 files" "$(mbs "$total" "$raw_copy")" "$raw_copy"
printf '%-40s %8s %8.3f\n' "dd bs=2M, 8 files (native, reference)" "$(mbs "$total" "$dd_copy")" "$dd_copy"
printf '%-40s %8s %8.3f\n' "CJoinJob, 4 parts, $((join_total / 1000000)) MB" "$(mbs "$join_total" "$job_join")" "$job_join"
if [ -n "${BENCH_BASELINE:-}" ]; then
  printf '%-40s %8s %8.3f\n' "CCopyJob of the baseline, 8 files" "$(mbs "$total" "$base_copy")" "$base_copy" \
    "CJoinJob of the baseline, 4 parts" "$(mbs "$join_total" "$base_join")" "$base_join"
fi
printf '%-40s %8s %8.3f\n' "dd bs=2M, 4 parts (native, reference)" "$(mbs "$join_total" "$dd_join")" "$dd_join"
r=$(ratio "$job_copy" "$copyfile_copy")
verdict=met; [ "$(echo "$r <= 1.05" | bc -l)" = 1 ] || verdict="NOT met"
echo "ratio copy (CCopyJob time / CopyFileExW time): $r (goal <= 1.05): $verdict"
echo "ratio copy (CCopyJob time / plain loop under Wine): $(ratio "$job_copy" "$raw_copy")"
echo "ratio copy (CCopyJob time / dd time, reference): $(ratio "$job_copy" "$dd_copy")"
echo "ratio join (CJoinJob time / dd time, reference): $(ratio "$job_join" "$dd_join")"
if [ -n "${BENCH_BASELINE:-}" ]; then
  echo "ratio copy of the baseline (its CCopyJob time / CopyFileExW time): $(ratio "$base_copy" "$copyfile_copy")"
  echo "ratio this build / the baseline: copy $(ratio "$job_copy" "$base_copy"), join $(ratio "$job_join" "$base_join")"
fi
