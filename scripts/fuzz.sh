#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each fuzz target for a bounded time
# with a fixed seed, on a temporary copy of its committed corpus (the
# committed one never grows here). Any finding - a crash, a failed check, a
# leak, a timeout - fails the run, and the input that caused it is kept.
#
#   bash scripts/fuzz.sh [SECONDS [TARGET ...]]
#
# SECONDS per target, default 60. TARGETs: line_reader record_body pdb sync
# (default: all). FUZZ_SEED=N sets the seed (default 20240611);
# BUILD_DIR=DIR builds there instead of build/fuzz; findings go to
# FUZZ_FINDINGS (default build/fuzz-findings/<target>/).
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"

seconds="${1:-60}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(line_reader record_body pdb sync)
seed="${FUZZ_SEED:-20240611}"
build="${BUILD_DIR:-$repo/build/fuzz}"
findings="${FUZZ_FINDINGS:-$repo/build/fuzz-findings}"

# Longest input per target: a few lines, bodies and databases are enough;
# the line reader's control byte reaches 64 KiB lines without long inputs.
declare -A max_len=([line_reader]=4096 [record_body]=4096 [pdb]=8192 [sync]=8192)

bash scripts/deps.sh clang libclang-rt-14-dev
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target fuzzers -j"$(nproc)" >/dev/null

work="$(mktemp -d /tmp/lenfol-fuzz-run.XXXXXX)"
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

failed=()
for target in "${targets[@]}"; do
  fuzzer="$build/bin/${target}_fuzzer"
  [ -x "$fuzzer" ] || { echo "fuzz: no target $target ($fuzzer)" >&2; exit 2; }
  corpus="$work/$target"
  cp -r "fuzz/corpus/$target" "$corpus"
  mkdir -p "$findings/$target"
  options=(-seed="$seed" -max_total_time="$seconds" -max_len="${max_len[$target]}"
           -timeout=30 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$findings/$target/")
  [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
  echo "== $target: ${seconds}s, -seed=$seed, -max_len=${max_len[$target]}, $(ls "$corpus" | wc -l) seed inputs"
  log="$work/$target.log"
  if "$fuzzer" "${options[@]}" "$corpus" >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log"
    echo "   corpus grew to $(ls "$corpus" | wc -l) inputs (not kept)"
  else
    echo "!! $target found a problem:"
    grep -E 'FUZZ CHECK FAILED|ERROR: |SUMMARY: |runtime error' -A3 "$log" | head -40
    echo "   full log: $findings/$target/fuzz.log"
    cp "$log" "$findings/$target/fuzz.log"
    ls -1 "$findings/$target"/crash-* "$findings/$target"/leak-* "$findings/$target"/timeout-* \
       "$findings/$target"/oom-* 2>/dev/null | sed 's/^/   input kept: /' || true
    echo "   reproduce: $fuzzer <input>; once fixed, add the input to fuzz/corpus/$target/"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}"
  exit 1
fi
echo "fuzz: ${#targets[@]} targets, ${seconds}s each, no finding"
