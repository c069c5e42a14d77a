#!/usr/bin/env bash
# Builds the benchmark programs of the release preset, runs each of them and
# prints one table: every benchmark's median, its baseline's median, the
# ratio, the target and whether it holds. Run it after ./test.sh (which
# installs what the build needs), on a machine as quiet as you can get it.
#
#   bench/run.sh [--markdown] [BENCHMARK OPTIONS...]
#
# Options after --markdown go to every program (for instance
# --benchmark_min_time=0.1 for a quick look). Environment:
#   SLOTKEEPER_BENCH_REPETITIONS  repetitions per benchmark (default 5)
#   SLOTKEEPER_BENCH_BUILD_DIR    an already configured build folder to use
#                                 instead of the release preset's
#   SLOTKEEPER_BENCH_IDLE_SECONDS how long the idle window is measured
#                                 (default 20)
# The JSON of every program and its console output are kept in
# <build folder>/bench-results/.
set -euo pipefail
cd "$(dirname "$0")/.."

markdown=()
if [ "${1:-}" = "--markdown" ]; then
  markdown=(--markdown)
  shift
fi
repetitions="${SLOTKEEPER_BENCH_REPETITIONS:-5}"
build="${SLOTKEEPER_BENCH_BUILD_DIR:-build/release}"

# Every benchmark program there may be, in the order of the table. Folders
# whose library is not built have no program; they are left out.
programs=(bench_card bench_cli bench_startup bench_icons bench_render bench_gfx)

if [ -z "${SLOTKEEPER_BENCH_BUILD_DIR:-}" ]; then
  cmake --preset release >/dev/null
fi
available=$(cmake --build "$build" --target help 2>/dev/null | sed -n 's/^\([A-Za-z0-9_]*\): .*/\1/p')
targets=(bench_table)
for p in "${programs[@]}"; do
  if grep -qx "$p" <<<"$available"; then targets+=("$p"); fi
done
echo "Building ${targets[*]} in $build ..." >&2
cmake --build "$build" --target "${targets[@]}" >&2

results="$build/bench-results"
mkdir -p "$results"
table_args=()
for p in "${programs[@]}"; do
  if [ ! -x "$build/bench/$p" ]; then
    case "$p" in
      bench_startup)
        table_args+=(--not-measured "$p:start-up and memory:program not built (needs the Qt program, SLOTKEEPER_BUILD_SHELL=ON)") ;;
      *)
        table_args+=(--not-measured "$p:(all):program not built") ;;
    esac
    continue
  fi
  echo "Running $p ($repetitions repetitions) ..." >&2
  if ! "$build/bench/$p" --benchmark_repetitions="$repetitions" \
      --benchmark_report_aggregates_only=true \
      --benchmark_out="$results/$p.json" --benchmark_out_format=json \
      "$@" >"$results/$p.txt" 2>&1; then
    echo "  $p failed; see $results/$p.txt" >&2
  fi
  table_args+=("$p=$results/$p.json")
done

echo >&2
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores" >&2
"$build/bench/bench_table" "${markdown[@]}" "${table_args[@]}"
