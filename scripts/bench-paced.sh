#!/usr/bin/env bash
# bench-paced.sh HOST-RELEASE-DIR WIN-DIR
# What users wait for, with the disc in a drive that reads no faster than
# its rate and does no read-ahead (tools/paced_drive/paced_fs.c, a FUSE passthrough
# mounted as the medium of drive M: of the benchmark's own prefix):
#
# 1. The copy job, the join job and their peers in the same Wine process
#    (Wine's CopyFileExW, a plain ReadFile/WriteFile loop), with native cp
#    and dd for reference, at DVD 16x (22.16 MB/s) and CD 52x (7.8 MB/s),
#    onto the page cache and onto a slow synchronous target (a second
#    paced mount whose writes return only at BENCH_SLOW_RATE). Each run
#    starts with a fresh mount of the drive, so every byte comes through
#    the pacer. Reported as time / ideal, ideal being bytes / rate; the
#    first row (a native read alone) is the floor this machine allows.
# 2. A whole installation by setup.exe from one disc holding every file
#    (the DVD layout: setup asks for no disc), timed from pressing Install
#    to the completion message, against the same ideal; with the CPU time
#    of the setup process as a share of that wall time, its peak working
#    set (VmHWM) and how long the drive moved bytes in that time (the rest
#    it stood idle).
# 3. The time from starting setup.exe to its first wizard page drawn,
#    against min_window (a Win32 program that shows one window), all
#    started from the paced drive at DVD speed under the same Wine; and
#    against min_page (the same window with the wizard's first page over
#    it, from the same template: setup's structure without its own work).
#
# Prints one line per goal. Skips with one line when FUSE is refused.
# Sizes: BENCH_PACED_MIB (copy, 40), the demo discs at 1/N of the real sizes
# for each N of BENCH_PACED_SCALES (BENCH_PACED_SCALE, else 64; 1 is the
# real 4 GB, as sparse files; the fixed costs of an installation, such as
# its registration, weigh 64 times more in the ratio at 1/64 than at the
# real sizes).
# Parts: BENCH_PACED_PARTS picks among "firstpage copy install" (all three
# by default), BENCH_PACED_RATES among "DVD CD" and BENCH_PACED_TARGETS
# among "cache slow" for the copy and the installation;
# BENCH_PACED_FIRSTPAGE_RUNS how often each program is started for the first
# page (3). BENCH_PACED_THREADS=1 adds, after each installation, every
# thread's share of the CPU and its wakeups (threads in the order made;
# the samples are kept as $WIN/bench/paced-threads.RATE.TARGET.BUILD).
# Another build side by side: BENCH_BASELINE=DIR holding that build's
# setup.exe and bench_copy.exe (see docs/developers.md). Every copy, join
# and installation then runs for both builds, in turn and the other way
# round every other round, BENCH_PACED_ROUNDS times (3; 1 without a
# baseline), and each figure is reported as the median with the lowest and
# highest run, so the run-to-run noise shows beside the difference. The
# native reference rows run once.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ -z "${DISPLAY:-}" ] && [ -z "${BENCH_PACED_XVFB:-}" ]; then
  BENCH_PACED_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
host=$(cd "$1" && pwd)
win=$(cd "$2" && pwd)
source "$here/demo-lib.sh"

pacer=$host/tools/paced_fs
tools=$host/tools
skip() { echo "bench-paced: skipped: $*"; exit 0; }
[ -x "$pacer" ] || skip "paced_fs (tools/paced_drive) is not built (libfuse3-dev missing: make deps)"
for t in make_demo_release author_discs; do
  [ -x "$tools/$t" ] || skip "$t is not built in $host"
done
[ -c /dev/fuse ] || skip "no /dev/fuse on this machine"
for f in setup.exe bench_copy.exe; do
  [ -z "${BENCH_BASELINE:-}" ] || [ -f "$BENCH_BASELINE/$f" ] || skip "$BENCH_BASELINE/$f does not exist"
done
for exe in installer/setup.exe bench/bench_copy.exe bench/bench_setup.exe bench/min_window.exe bench/min_page.exe; do
  [ -f "$win/$exe" ] || skip "$win/$exe is not built"
done

DVD=22160000   # DVD 16x, bytes per second
CD=7800000     # CD 52x
SLOW=${BENCH_SLOW_RATE:-60000000}  # the slow target's synchronous writes
MiB=$((1024 * 1024))
mib=${BENCH_PACED_MIB:-40}
parts_run=" ${BENCH_PACED_PARTS:-firstpage copy install} "
rates=${BENCH_PACED_RATES:-DVD CD}
targets=${BENCH_PACED_TARGETS:-cache slow}
runs() { [[ $parts_run == *" $1 "* ]]; }
# The builds compared: this tree's ("new") and the baseline's ("base").
builds=(new) rounds=1
[ -z "${BENCH_BASELINE:-}" ] || builds+=(base) rounds=3
rounds=${BENCH_PACED_ROUNDS:-$rounds}
# The builds in the order of round $1: the other way round every other one.
in_turn() { if [ $(($1 % 2)) = 1 ]; then echo "${builds[@]}"; else printf '%s\n' "${builds[@]}" | tac | tr '\n' ' '; fi; }
bench_copy_of() { if [ "$1" = base ]; then echo "$BENCH_BASELINE/bench_copy.exe"; else echo "$win/bench/bench_copy.exe"; fi; }
setup_of() { if [ "$1" = base ]; then echo 'M:\baseline\setup.exe'; else echo 'M:\setup.exe'; fi; }
# "median min max" of the numbers on stdin.
spread() { sort -g | awk '{ a[NR] = $1 } END { if (NR) print a[int((NR + 1) / 2)], a[1], a[NR]; else print "n/a n/a n/a" }'; }

work=$win/bench/paced-run     # the prefix, kept for the next run
mkdir -p "$work"
tmp=$(mktemp -d "$win/bench/paced-tmp.XXXXXX")
mounted=()
cleanup() {
  local m
  for m in "${mounted[@]}"; do unmount "$m"; done
  [ -z "${WINESERVER:-}" ] || "$WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$tmp"
  [ -z "${install_root:-}" ] || rm -rf "$install_root"
}
trap cleanup EXIT

# mount_paced SOURCE MOUNTPOINT READ-RATE WRITE-RATE: false when FUSE refused.
mount_paced() {
  mkdir -p "$2"
  # Not holding the caller's output open: a $(...) would wait for it.
  "$pacer" "$1" "$2" "$3" "$4" </dev/null >/dev/null 2>>"$tmp/pacer.log" &
  local i
  for i in $(seq 100); do
    if mountpoint -q "$2"; then mounted+=("$2"); return 0; fi
    kill -0 $! 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}
unmount() {
  mountpoint -q "$1" || return 0
  umount "$1" 2>/dev/null || umount -l "$1"
  local i
  for i in $(seq 100); do mountpoint -q "$1" || break; sleep 0.05; done
  local kept=() m
  for m in "${mounted[@]}"; do [ "$m" = "$1" ] || kept+=("$m"); done
  mounted=("${kept[@]}")
}

# FUSE may be refused (no privilege, no module): find out once.
mkdir -p "$tmp/probe-src"
mount_paced "$tmp/probe-src" "$tmp/probe" 0 0 ||
  skip "FUSE refused the mount ($(tail -1 "$tmp/pacer.log" 2>/dev/null))"
unmount "$tmp/probe"

# A drive left mounted by an interrupted run.
awk -v w="$work/" 'index($2, w) == 1 { gsub(/\\040/, " ", $2); print $2 }' /proc/mounts |
  while IFS= read -r m; do umount -l "$m"; done
demo_prefix "$work" >/dev/null
"$WINESERVER" -p >/dev/null 2>&1 || true
medium=$SETUP_DRIVES_DIR/m
now() { echo "$EPOCHREALTIME"; }
ratio() { echo "scale=3; $1 / $2" | bc -l; }
winpath() { demo_winpath "$1"; }

# The disc: the copy benchmark's files in bench\, the demo discs in the DVD
# layout (one disc holding every file, as author_discs --media dvd lays it
# out), min_window.exe and min_page.exe.
disc=$tmp/disc
mkdir -p "$disc/bench" "$tmp/out" "$tmp/slow-back"
copy_bytes=$((mib * MiB + 12345))
head -c "$copy_bytes" /dev/urandom >"$disc/bench/copy.bin"
part_sizes=($((mib * MiB * 3 / 10 + 5)) $((mib * MiB / 4 + 77)) $((mib * MiB / 4 + 3)) $((mib * MiB / 5 + 1)))
parts=() join_bytes=0
for i in "${!part_sizes[@]}"; do
  head -c "${part_sizes[$i]}" /dev/urandom >"$disc/bench/part.00$((i + 1))"
  parts+=("M:\\bench\\part.00$((i + 1))")
  join_bytes=$((join_bytes + part_sizes[$i]))
done
export DEMO_SETUP=$win/installer/setup.exe
scales=${BENCH_PACED_SCALES:-${BENCH_PACED_SCALE:-64}}
# The demo discs at 1/$1 of the real sizes on the disc, with the baseline's
# setup.exe in baseline\; sets install_bytes.
disc_at_scale() {
  local size=(--scale "$1")
  [ "$1" != 1 ] || size=(--full)
  rm -rf "$disc/data"
  demo_make_discs "$tools" "$win" "$tmp/discs" "${size[@]}" --media dvd --quiet >/dev/null ||
    { echo "bench-paced: cannot write the demo discs" >&2; exit 1; }
  cp -r "$tmp/discs/disc1/." "$disc/"
  rm -rf "$tmp/discs" "$tmp/discs.release"
  if [ -n "${BENCH_BASELINE:-}" ]; then mkdir -p "$disc/baseline"; cp "$BENCH_BASELINE/setup.exe" "$disc/baseline/"; fi
  install_bytes=$(find "$disc/data/data" -type f -printf '%s\n' | paste -sd+ - | bc)
}
disc_at_scale "${scales%% *}"
cp "$win/bench/min_window.exe" "$win/bench/min_page.exe" "$disc/"

# Puts the disc in the drive, read at RATE, on a fresh mount.
insert() {
  unmount "$medium"
  mount_paced "$disc" "$medium" "$1" 0 || { echo "bench-paced: cannot mount the drive" >&2; exit 1; }
}
# The same with every read of the drive written to $tmp/trace.
insert_traced() {
  : >"$tmp/trace"
  PACED_FS_TRACE=$tmp/trace insert "$1"
}
# The target folder TARGET (cache or slow) for a run, emptied; sets `dest`.
target() {
  unmount "$tmp/slow"
  rm -rf "$tmp/out"/* "$tmp/slow-back"/*
  sync
  if [ "$1" = slow ]; then
    mount_paced "$tmp/slow-back" "$tmp/slow" 0 "$SLOW" || { echo "bench-paced: cannot mount the slow target" >&2; exit 1; }
    dest=$tmp/slow
  else
    dest=$tmp/out
  fi
}
# Runs a Windows program in the benchmark's prefix (set up by demo_prefix).
run_win() { "$(wine_loader_for "$1")" "$@" | tr -d '\r'; }

declare -A result
goals=()
goal() {  # goal TEXT VALUE LIMIT
  local verdict=met
  [ "$(echo "$2 <= $3" | bc -l)" = 1 ] || verdict="NOT met"
  goals+=("$(printf '%-58s %7s (goal <= %s): %s' "$1" "$2" "$3" "$verdict")")
}

# --- 3. The first page, before any installation (an installed game would
# be started instead of setup).
# The programs in turn, BENCH_PACED_FIRSTPAGE_RUNS times (3), so that a
# change of the machine's load falls on all; sets fp_min, fp_page and
# fp_setup to the medians, in seconds.
first_page_once() {  # PROGRAM [wizard] -> seconds, empty on failure
  run_win "$win/bench/bench_setup.exe" firstpage "$1" ${2:-} | awk '$1 == "firstpage" { print $2 }'
}
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR ? a[int((NR + 1) / 2)] : 0) }'; }
first_pages() {
  local i t mins=() pages=() setups=()
  for i in $(seq "${BENCH_PACED_FIRSTPAGE_RUNS:-3}"); do
    t=$(first_page_once 'M:\min_window.exe'); [ -n "$t" ] && mins+=("$t")
    t=$(first_page_once 'M:\min_page.exe' wizard); [ -n "$t" ] && pages+=("$t")
    t=$(first_page_once 'M:\setup.exe' wizard); [ -n "$t" ] && setups+=("$t")
  done
  fp_min=$(printf '%s\n' "${mins[@]}" | median)
  fp_page=$(printf '%s\n' "${pages[@]}" | median)
  fp_setup=$(printf '%s\n' "${setups[@]}" | median)
}
if runs firstpage; then
  insert "$DVD"
  first_pages
fi

# --- 1. Copy and join jobs.
# same_bytes KIND GOT CHUNK-BYTES EXPECTED...: true when GOT holds the bytes
# of the EXPECTED files one after another. Otherwise says where the first
# difference lies (the expected file, the job's chunk and 256 KiB piece
# there), how far the differences reach, and keeps GOT as
# $win/bench/paced-differs.KIND for a closer look.
same_bytes() {
  local kind=$1 got=$2 chunk=$3; shift 3
  cat "$@" | cmp -s - "$got" && return 0
  [ -f "$got" ] || { echo "bench-paced: $kind wrote no output" >&2; return 1; }
  local want have at last count
  want=$(cat "$@" | wc -c)
  have=$(stat -c %s "$got")
  # cmp -l counts bytes from 1; a shorter file differs from its end on.
  read -r at last count < <(cat "$@" | cmp -l - "$got" 2>/dev/null |
    awk 'NR == 1 { f = $1 } { l = $1; n++ } END { if (n) print f - 1, l - 1, n }')
  # No byte differs: GOT ends early (or runs on).
  [ -n "${at:-}" ] || { at=$(( have < want ? have : want )); last=$at; count=0; }
  local where="" base=0 f size
  for f in "$@"; do
    size=$(stat -c %s "$f")
    if [ "$at" -lt $((base + size)) ]; then
      local off=$((at - base))
      where=" in $(basename "$f") at $off (chunk $((off / chunk)), piece $(((off % chunk) / 262144)))"
      break
    fi
    base=$((base + size))
  done
  echo "bench-paced: $kind output differs: $have bytes of $want; first difference at byte $at$where," \
    "last at $last, $count bytes differ" >&2
  cp "$got" "$win/bench/paced-differs.$kind" 2>/dev/null
  return 1
}
copy_run() {  # KIND RATE TARGET [BUILD]: sets `secs` (empty on failure)
  local kind=$1 t0 out exe
  exe=$(bench_copy_of "${4:-new}")
  insert "$2"; target "$3"
  secs=
  case $kind in
    floor)
      # Reading alone, natively: what the drive and FUSE give on this
      # machine at this moment; no copy can be faster.
      t0=$(now)
      dd if="$medium/bench/copy.bin" of=/dev/null bs=2M status=none
      secs=$(echo "$(now) - $t0" | bc -l) ;;
    cp|dd)
      t0=$(now)
      if [ "$kind" = cp ]; then cp "$medium/bench/copy.bin" "$dest/"
      else dd if="$medium/bench/copy.bin" of="$dest/copy.bin" bs=2M status=none; fi
      secs=$(echo "$(now) - $t0" | bc -l) ;;
    cat)
      t0=$(now)
      cat "$medium"/bench/part.00? >"$dest/joined.dat"
      secs=$(echo "$(now) - $t0" | bc -l) ;;
    join)
      out=$(run_win "$exe" join "$(winpath "$dest")\\joined.dat" "${parts[@]}") ||
        { echo "bench-paced: bench_copy join failed (exit $?)" >&2; return; }
      same_bytes join "$dest/joined.dat" 3145728 "$disc"/bench/part.00? || return
      secs=$(echo "$out" | awk '{ print $3 }') ;;
    *)
      out=$(run_win "$exe" "$kind" "$(winpath "$dest")" 'M:\bench\copy.bin') ||
        { echo "bench-paced: bench_copy $kind failed (exit $?)" >&2; return; }
      same_bytes "$kind" "$dest/copy.bin" 2097152 "$disc/bench/copy.bin" || return
      secs=$(echo "$out" | awk '{ print $3 }') ;;
  esac
}

label_of() {  # KIND [BUILD]
  local l
  case $1 in
    floor) l="read only, native (the floor)" ;;
    copy) l="CCopyJob" ;; copyfile) l="CopyFileExW (Wine)" ;;
    raw) l="ReadFile/WriteFile loop (Wine)" ;; cp) l="cp (native, reference)" ;;
    dd) l="dd bs=2M (native, reference)" ;; join) l="CJoinJob, 4 parts" ;;
    cat) l="cat of the parts (native, ref.)" ;;
  esac
  [ "${#builds[@]}" = 1 ] || [ -z "${2:-}" ] || l="$l [$2]"
  echo "$l"
}
bytes_of() { if [ "$1" = join ] || [ "$1" = cat ]; then echo "$join_bytes"; else echo "$copy_bytes"; fi; }
if runs copy; then
printf '\npaced drive without read-ahead; copy %d bytes, join 4 parts of %d bytes; slow target writes %s B/s\n' \
  "$copy_bytes" "$join_bytes" "$SLOW"
printf '%-38s %-6s %-6s %8s %8s' "" rate target seconds "t/ideal"
[ "$rounds" = 1 ] && echo || echo " (lowest..highest t/ideal of the $rounds runs)"
for rate in $rates; do
  bps=${!rate}
  for tgt in $targets; do
    # The references, once.
    for kind in floor copyfile raw cp dd cat; do
      copy_run "$kind" "$bps" "$tgt"
      [ -n "$secs" ] || { echo "bench-paced: the $kind run failed" >&2; exit 1; }
      printf '%-38s %-6s %-6s %8.3f %8.3f\n' "$(label_of "$kind")" "$rate" "$tgt" "$secs" \
        "$(ratio "$secs" "$(echo "$(bytes_of "$kind") / $bps" | bc -l)")"
    done
    # The jobs, of every build in every round.
    declare -A runs_of=()
    for round in $(seq "$rounds"); do
      for build in $(in_turn "$round"); do
        for kind in copy join; do
          copy_run "$kind" "$bps" "$tgt" "$build"
          [ -n "$secs" ] || { echo "bench-paced: the $kind run of $build failed" >&2; exit 1; }
          runs_of[$kind,$build]+="$secs "
        done
      done
    done
    for kind in copy join; do
      for build in "${builds[@]}"; do
        ideal=$(echo "$(bytes_of "$kind") / $bps" | bc -l)
        read -r med lo hi < <(printf '%s\n' ${runs_of[$kind,$build]} | spread)
        result[$kind,$build,$rate,$tgt]=$(ratio "$med" "$ideal")
        printf '%-38s %-6s %-6s %8.3f %8.3f' "$(label_of "$kind" "$build")" "$rate" "$tgt" "$med" "${result[$kind,$build,$rate,$tgt]}"
        [ "$rounds" = 1 ] && echo || printf ' (%.3f..%.3f)\n' "$(ratio "$lo" "$ideal")" "$(ratio "$hi" "$ideal")"
      done
    done
    goal "copy job time / ideal, $rate, $tgt" "${result[copy,new,$rate,$tgt]}" 1.02
    goal "join job time / ideal, $rate, $tgt" "${result[join,new,$rate,$tgt]}" 1.02
  done
done
unmount "$tmp/slow"
fi

# --- 2. The installation, DVD layout.
install_root="$WINEPREFIX/drive_c/Program Files/Vintal"
setup_pid() {  # the Linux process of setup.exe in this prefix
  local p
  for p in $(pgrep -x setup.exe); do
    { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && { echo "$p"; return; }
  done
}
sample() {  # samples setup.exe's CPU ticks and peak RSS until it ends
  local pid= stat rest hwm
  while [ -z "$pid" ] && [ ! -e "$tmp/ended" ]; do pid=$(setup_pid); sleep 0.02; done
  [ -n "$pid" ] || return
  while [ ! -e "$tmp/ended" ] && { read -r stat <"/proc/$pid/stat"; } 2>/dev/null; do
    rest=${stat##*) }
    read -r -a f <<<"$rest"
    hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status" 2>/dev/null)
    echo "$EPOCHREALTIME $((f[11] + f[12])) ${hwm:-0}"
    [ -z "${BENCH_PACED_THREADS:-}" ] || thread_sample "$pid"
    sleep 0.1
  done
}
# With BENCH_PACED_THREADS set: every thread's CPU time, wakeups and page
# faults, one round of lines stamped with the round's time ("T TIME TID
# START-TICKS UTIME STIME VOLUNTARY INVOLUNTARY RUN-NS FAULTS"), for the
# breakdown after each installation.
thread_sample() {
  local t stat rest key value v n run round=$EPOCHREALTIME
  for t in /proc/"$1"/task/*; do
    { read -r stat <"$t/stat"; } 2>/dev/null || continue
    rest=${stat##*) }
    read -r -a f <<<"$rest"
    v= n= run=
    { while read -r key value; do
        case $key in
          voluntary_ctxt_switches:) v=$value ;;
          nonvoluntary_ctxt_switches:) n=$value ;;
        esac
      done <"$t/status"; read -r run _ <"$t/schedstat"; } 2>/dev/null
    # A thread that ended in the middle of the round.
    [ -n "$v" ] && [ -n "$n" ] && [ -n "$run" ] || continue
    echo "T $round ${t##*/} ${f[19]} ${f[11]} ${f[12]} $v $n $run ${f[7]}"
  done >>"$tmp/threads"
}
# thread_breakdown START END: one line per thread that ran in that time, in
# the order the threads were made, over the first and the last round of
# samples inside it (a thread made later counts from nothing).
thread_breakdown() {
  awk -v a="$1" -v b="$2" -v hz="$ticks" '
    $1 != "T" || $2 < a || $2 > b { next }
    first == "" { first = $2 }
    $2 == first { u0[$3] = $5; s0[$3] = $6; v0[$3] = $7; n0[$3] = $8; r0[$3] = $9; f0[$3] = $10 }
    { seen[$3] = 1; born[$3] = $4; u1[$3] = $5; s1[$3] = $6; v1[$3] = $7; n1[$3] = $8; r1[$3] = $9; f1[$3] = $10; last = $2 }
    END {
      w = last - first
      if (w <= 0) exit
      for (k in seen) {
        share = (r1[k] - r0[k]) / 1e7 / w; sum += share
        printf "%d       thread %-7s born %+8.2f s: %5.2f %% (user %5.2f, system %5.2f), %6d wakeups, %4d preempted, %5d page faults\n",
               born[k], k, (born[k] - origin) / hz, share,
               100 * (u1[k] - u0[k]) / hz / w, 100 * (s1[k] - s0[k]) / hz / w, v1[k] - v0[k], n1[k] - n0[k], f1[k] - f0[k]
      }
      printf "999999999999       these threads together: %.2f %% of one core over %.2f s\n", sum, w
    }' origin="$(awk '$1 == "T" { print $4; exit }' "$tmp/threads")" "$tmp/threads" | sort -n -k1,1 -k3,3 | cut -d' ' -f2-
}
ticks=$(getconf CLK_TCK)
declare -A figure_name=([s]=seconds [r]=t/ideal [cpu]="CPU %" [between]="idle between reads")
# install_once BUILD RATE TARGET: one installation by BUILD's setup.exe;
# prints its line and adds its figures to `inst`.
install_once() {
  local build=$1 rate=$2 tgt=$3 bps=${!2} line start end got s r cpu peak busy idle
  unmount "$install_root"
  rm -rf "$install_root" "$tmp/slow-back"/*
  mkdir -p "$install_root"
  [ "$tgt" = cache ] || mount_paced "$tmp/slow-back" "$install_root" 0 "$SLOW" ||
    { echo "bench-paced: cannot mount the slow target" >&2; exit 1; }
  insert_traced "$bps"
  sync
  rm -f "$tmp/ended" "$tmp/threads"
  sample >"$tmp/samples" &
  local sampler=$!
  line=$(run_win "$win/bench/bench_setup.exe" install "$(setup_of "$build")" | awk '$1 == "install"')
  touch "$tmp/ended"
  wait "$sampler"
  [ -n "$line" ] || { echo "bench-paced: the installation by $build at $rate onto $tgt failed" >&2; exit 1; }
  read -r _ start end <<<"$line"
  got=$(find "$install_root" -type f -printf '%s\n' | paste -sd+ - | bc)
  # The installed files hold the bytes of the disc's data files.
  [ "$got" = "$install_bytes" ] || echo "bench-paced: installed $got bytes, expected $install_bytes" >&2
  s=$(echo "$end - $start" | bc -l)
  r=$(ratio "$s" "$(echo "$install_bytes / $bps" | bc -l)")
  # CPU share between the samples nearest to the two moments.
  cpu=$(awk -v a="$start" -v b="$end" -v hz="$ticks" '
    $1 >= a && t0 == "" { t0 = $1; c0 = $2 }
    $1 <= b { t1 = $1; c1 = $2 }
    END { if (t0 == "" || t1 <= t0) print "n/a"; else printf "%.2f", 100 * (c1 - c0) / hz / (t1 - t0) }' "$tmp/samples")
  peak=$(awk '{ if ($3 > p) p = $3 } END { printf "%.1f", p / 1024 }' "$tmp/samples")
  # How long the drive moved bytes between the two moments.
  busy=$(awk -v a="$start" -v b="$end" '
    { s = $1 > a ? $1 : a; e = $2 < b ? $2 : b; if (e > s) t += e - s }
    END { printf "%.3f", t }' "$tmp/trace")
  # Where the drive stood idle: before its first read, in the pauses
  # between reads (the longer ones are the ends of files), after its last.
  idle=$(awk -v a="$start" -v b="$end" '
    $2 <= a || $1 >= b { next }
    { if (first == "") first = $1; else { g = $1 - last; if (g > 0) gaps += g; if (g > 0.01) { n++; long += g } } last = $2 }
    END { if (first != "") printf "%.3f %.3f %.3f %d %.3f", first - a, gaps, long, n, b - last }' "$tmp/trace")
  local before between long pauses after
  read -r before between long pauses after <<<"$idle"
  printf '%-6s %-6s %-5s %8.3f %8.3f %8s %10s %8s s %8s s\n' "$rate" "$tgt" "$build" "$s" "$r" "$cpu" "$peak" "$busy" "$between"
  printf '       idle: %s s before the first read, %s s between reads (%s s in %s pauses over 10 ms), %s s after the last\n' \
    "$before" "$between" "$long" "$pauses" "$after"
  if [ -n "${BENCH_PACED_THREADS:-}" ]; then
    thread_breakdown "$start" "$end"
    cp "$tmp/threads" "$win/bench/paced-threads.$rate.$tgt.$build"
  fi
  inst[s,$build]+="$s " inst[r,$build]+="$r " inst[cpu,$build]+="$cpu " inst[between,$build]+="$between "
  unmount "$install_root"
  rm -rf "$install_root"
}
if runs install; then
for scale in $scales; do
  [ "$scale" = "${scales%% *}" ] || disc_at_scale "$scale"
  printf '\nDVD-layout installation by setup.exe, %d bytes (1/%d of the real sizes), from pressing Install to the completion message\n' "$install_bytes" "$scale"
  printf '%-6s %-6s %-5s %8s %8s %8s %10s %10s %10s\n' rate target build seconds "t/ideal" "CPU %" "peak MiB" "drive busy" "idle between reads"
  for rate in $rates; do
    for tgt in $targets; do
      declare -A inst=()
      for round in $(seq "$rounds"); do
        for build in $(in_turn "$round"); do install_once "$build" "$rate" "$tgt"; done
      done
      # Medians of the runs, with the lowest and highest run.
      for build in "${builds[@]}"; do
        [ "$rounds" -gt 1 ] || break
        line=$(printf 'median of %d, %s:' "$rounds" "$build")
        for f in s r cpu between; do
          read -r med lo hi < <(printf '%s\n' ${inst[$f,$build]} | grep -v n/a | spread)
          line+=$(printf ' %s %s (%s..%s);' "${figure_name[$f]}" "$med" "$lo" "$hi")
        done
        echo "       ${line%;}"
      done
      read -r r _ < <(printf '%s\n' ${inst[r,new]} | spread)
      read -r cpu _ < <(printf '%s\n' ${inst[cpu,new]} | grep -v n/a | spread)
      goal "installation time / ideal, 1/$scale, $rate, $tgt" "$r" 1.02
      [ "$cpu" = n/a ] || goal "setup CPU % of one core during the install, 1/$scale, $rate, $tgt" "$cpu" 5
    done
  done
done
fi

if runs firstpage; then
  printf '\nfirst page drawn, from starting the program on the paced DVD (median of %d)\n' "${BENCH_PACED_FIRSTPAGE_RUNS:-3}"
  printf '%-34s %8.3f s\n' "min_window.exe (one window)" "$fp_min" \
    "min_page.exe (window and page)" "$fp_page" "setup.exe (first wizard page)" "$fp_setup"
  [ "$(echo "$fp_min > 0" | bc -l)" = 1 ] && goal "first page / minimal window program" "$(ratio "$fp_setup" "$fp_min")" 1.2
  if [ "$(echo "$fp_min > 0 && $fp_page > 0" | bc -l)" = 1 ]; then
    printf 'min_page / min_window %.2f, setup / min_page %.2f\n' \
      "$(ratio "$fp_page" "$fp_min")" "$(ratio "$fp_setup" "$fp_page")"
  fi
fi

printf '\ngoals (load average %s)\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%s\n' "${goals[@]}"
