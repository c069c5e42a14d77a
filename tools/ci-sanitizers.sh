#!/usr/bin/env bash
# The sanitizer part of CI, run after ./test.sh:
#   1. the whole suite under ASan+UBSan (preset asan),
#   2. the threading tests under TSan (preset tsan),
#   3. a smoke run of every fuzz target (fuzz/run.sh, 20 s each).
# Prints how long each step took; exits non-zero on the first failure.
#
# Environment: SLOTKEEPER_CI_BUILD_ROOT (where the three build folders go,
# default build/), FUZZ_SMOKE_SECONDS (default 20).
# A test that cannot run under ASan (none so far; the shell's tests use Qt's
# offscreen platform) is labelled no-asan and left out of step 1.
set -euo pipefail
cd "$(dirname "$0")/.."
root=${SLOTKEEPER_CI_BUILD_ROOT:-build}
jobs=$(nproc)
smoke=${FUZZ_SMOKE_SECONDS:-20}
# The tests of the event, thread, pause handshake and rendering thread code.
threading='Thread|Event|Handshake|Render'

step() {
  local name=$1 start=$SECONDS
  shift
  echo "==> $name"
  "$@"
  echo "==> $name: $((SECONDS - start)) s"
}

asan_suite() {
  cmake --preset asan -B "$root/asan" >/dev/null
  cmake --build "$root/asan" -j "$jobs"
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_stack_use_after_return=1:strict_string_checks=1} \
  UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1} \
    ctest --test-dir "$root/asan" --output-on-failure -j "$jobs" -LE no-asan --timeout 600
}

# The test programs that hold threading tests, as the ASan build lists them,
# among those the TSan configuration has (it leaves the Qt shell out).
threading_programs() {
  local program
  ctest --test-dir "$root/asan" -N -R "$threading" --show-only=json-v1 |
    grep -A2 '"command"' | grep -o '"/[^"]*"' | tr -d '"' | xargs -r -n1 basename | sort -u |
    while read -r program; do
      if ninja -C "$root/tsan" -t query "$program" >/dev/null 2>&1; then echo "$program"; fi
    done
}

tsan_threading() {
  cmake --preset tsan -B "$root/tsan" >/dev/null
  local programs
  mapfile -t programs < <(threading_programs)
  # Only those are built: the rest of the tree is of no use to TSan.
  if [ ${#programs[@]} -gt 0 ]; then
    cmake --build "$root/tsan" -j "$jobs" --target "${programs[@]}"
  else
    cmake --build "$root/tsan" -j "$jobs"
  fi
  TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
    ctest --test-dir "$root/tsan" --output-on-failure -j "$jobs" -R "$threading" --timeout 600 \
    --no-tests=error
}

fuzz_smoke() {
  SLOTKEEPER_FUZZ_BUILD=$root/fuzz fuzz/run.sh "$smoke"
}

total=$SECONDS
step "ASan+UBSan: whole suite" asan_suite
step "TSan: threading tests" tsan_threading
step "Fuzz smoke: ${smoke} s per target" fuzz_smoke
echo "==> sanitizers and fuzz smoke: $((SECONDS - total)) s"
