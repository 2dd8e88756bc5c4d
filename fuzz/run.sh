#!/usr/bin/env bash
# Runs one fuzz target for a bounded time and prints a one-line summary.
#
#   fuzz/run.sh TARGET SECONDS [BUILD_DIR]
#
# TARGET is plan_reader, plan_normaliser, page_encoder, ks_lookup, run, plan_check,
# bundle_page or table_import.
# BUILD_DIR (default build-fuzz) is configured with clang and
# -DPLOTWEAVE_FUZZ=ON; `make fuzz-build` does that. New inputs go to
# BUILD_DIR/corpus/TARGET, never into the committed seeds under fuzz/corpus;
# a crashing input is saved as BUILD_DIR/artifacts/TARGET-crash-* and the
# script then fails.
set -euo pipefail
cd "$(dirname "$0")/.."

target=${1:?target}
seconds=${2:?seconds}
build=${3:-build-fuzz}
binary=$build/fuzz/${target}_fuzz
[ -x "$binary" ] || { echo "fuzz/run.sh: $binary is not built" >&2; exit 2; }

case $target in
  plan_reader | plan_normaliser | run | plan_check) seeds=fuzz/corpus/plan ;;
  page_encoder | bundle_page) seeds=fuzz/corpus/page ;;
  ks_lookup) seeds=fuzz/corpus/ks ;;
  table_import) seeds=fuzz/corpus/table ;;
  *) echo "fuzz/run.sh: unknown target $target" >&2; exit 2 ;;
esac
# Long enough for a page line to span two chunks of the encoder.
max_len=4096
[ "$target" = page_encoder ] && max_len=24000

# Absolute paths: the whole-run target works in a directory of its own.
build=$(cd "$build" && pwd)
seeds=$PWD/$seeds
work=$build/corpus/$target
mkdir -p "$work" "$build/artifacts"
log=$build/fuzz-$target.log

status=0
"$binary" "$work" "$seeds" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
  >"$log" 2>&1 || status=$?

last() { grep -oE "$1" "$log" | tail -1 | sed -E "s#$1#\\1#" || true; }
execs=$(last 'stat::number_of_executed_units: *([0-9]+)')
rate=$(last 'stat::average_exec_per_sec: *([0-9]+)')
cov=$(last 'cov: ([0-9]+)')
ft=$(last 'ft: ([0-9]+)')
corp=$(last 'corp: ([0-9]+/[0-9]+[a-zA-Z]*)')
echo "$target: ${seconds}s, ${execs:-?} execs, ${rate:-?} exec/s, edge coverage ${cov:-?}," \
  "features ${ft:-?}, corpus ${corp:-?} (log $log)"
if [ "$status" -ne 0 ]; then
  echo "fuzz/run.sh: $target found a problem (exit $status):" >&2
  grep -E 'ERROR|invariant failed|SUMMARY|Test unit written' "$log" >&2 || tail -20 "$log" >&2
  exit 1
fi
