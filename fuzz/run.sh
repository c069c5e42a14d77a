#!/usr/bin/env bash
# Builds the fuzz preset, writes fresh seed corpora and runs every fuzz target
# (or the ones named) for SECONDS each, as many at once as there are cores.
#
#   fuzz/run.sh SECONDS [TARGET...]
#
# Work files go to fuzz/corpus-work/ (git-ignored): seeds/ (rewritten on every
# run), corpus/<target>/ (what the fuzzer found interesting; kept between
# runs), findings/<target>/ (crashing inputs) and logs/<target>.log.
# Prints the executions of each target; exits 1 if any target found anything.
#
# Environment: SLOTKEEPER_FUZZ_BUILD (build folder, default build/fuzz),
# FUZZ_JOBS (targets run at once, default the number of cores).
set -euo pipefail

if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SLOTKEEPER_FUZZ_BUILD:-$root/build/fuzz}
jobs=${FUZZ_JOBS:-$(nproc)}
work=$root/fuzz/corpus-work

cd "$root"
cmake --preset fuzz -B "$build" >/dev/null
if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < "$build/fuzz/fuzz_targets.txt"
fi
cmake --build "$build" -j "$jobs" --target make_fuzz_seeds "${targets[@]}"

rm -rf "$work/seeds"
mkdir -p "$work/seeds" "$work/logs"
"$build/tools/make_fuzz_seeds/make_fuzz_seeds" "$work/seeds"

# A smaller quarantine than ASan's default lets freed memory be reused sooner:
# three times the executions, while a use after free within one run (far
# less than 16 MiB of allocations) is still caught.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

# Every target's files live in memory and go away with the run, whatever the
# targets leave behind when they crash.
scratch_base=/dev/shm
[ -d "$scratch_base" ] || scratch_base=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$scratch_base/slk-fuzz-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The dictionary of a target: fuzz/dicts/<target>.dict, else the one of its
# family (fuzz_card_mem -> card.dict).
dict_for() {
  local target=$1 family
  family=${target#fuzz_}
  family=${family%%_*}
  for candidate in "fuzz/dicts/$target.dict" "fuzz/dicts/$family.dict"; do
    if [ -f "$candidate" ]; then
      echo "-dict=$candidate"
      return
    fi
  done
}

run_target() {
  local target=$1
  local corpus=$work/corpus/$target findings=$work/findings/$target
  mkdir -p "$corpus" "$findings" "$work/seeds/$target" "$scratch/$target"
  local options=(
    -max_total_time="$seconds" -timeout=20 -malloc_limit_mb=64 -rss_limit_mb=2048
    -print_final_stats=1 -artifact_prefix="$findings/"
  )
  local dict
  dict=$(dict_for "$target")
  [ -n "$dict" ] && options+=("$dict")
  TMPDIR=$scratch/$target "$build/fuzz/$target" "${options[@]}" "$corpus" "$work/seeds/$target" \
    >"$work/logs/$target.log" 2>&1
}

# Findings of earlier runs stay in findings/; only newer ones count.
started=$scratch/started
touch "$started"

echo "Fuzzing ${#targets[@]} targets for ${seconds} s each, $jobs at a time"
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  rm -f "$work/logs/$target.status"
  (
    code=0
    run_target "$target" || code=$?
    echo "$code" >"$work/logs/$target.status"
  ) &
  running=$((running + 1))
done
wait

failed=0
printf '%-18s %14s %8s  %s\n' target executions exec/s result
for target in "${targets[@]}"; do
  log=$work/logs/$target.log
  code=$(cat "$work/logs/$target.status" 2>/dev/null || echo 1)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  findings=$(find "$work/findings/$target" -type f -newer "$started" | wc -l)
  result=ok
  if [ "$code" != 0 ] || [ "$findings" -gt 0 ]; then
    result="FINDING (exit $code, see $log and $work/findings/$target/)"
    failed=1
  fi
  printf '%-18s %14s %8s  %s\n' "$target" "${execs:-?}" "${rate:-?}" "$result"
done
exit $failed
