#!/usr/bin/env bash
# run-fuzzer.sh FUZZER WORKDIR SECONDS [SEED-CORPUS-DIR]
# Runs a libFuzzer target for a bounded time over a working corpus that
# starts from the seed corpus; any crash fails the run.
set -euo pipefail
fuzzer=$1 work=$2 seconds=$3 seeds=${4:-}
mkdir -p "$work"
if [ -n "$seeds" ] && [ -d "$seeds" ]; then cp -n "$seeds"/* "$work"/ 2>/dev/null || true; fi
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/../" "$work"
