#!/usr/bin/env bash
# Installs what is missing, builds Release in build/bench, and runs the
# HotSync benchmarks: wall time against the bare fgets loop and Palm::PDB,
# callgrind instruction counts, and the conduit's heap. Prints markdown
# tables (bench/RESULTS.md holds a run and how to read it).
#
#   bash scripts/bench.sh [lenfol_bench options...]
#   e.g. bash scripts/bench.sh --sizes 1000 --repeats 3 --no-callgrind
#   bash scripts/bench.sh --gate
# Options after the script name go to lenfol_bench; --sizes and --shapes also
# to lenfol_bench_heap. BENCH_JOBS sets the build's parallelism (default 2).
# --gate is the CI check: a HotSync of 10,000 typical records each way under
# callgrind, failing when the stand-in's instructions exceed a quarter of the
# conduit's (both figures are printed).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh valgrind

build=build/bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLENSFOLIO_BENCH=ON >/dev/null
if [[ "${1:-}" == --gate ]]; then
  cmake --build "$build" -j"${BENCH_JOBS:-2}" --target lenfol_bench >/dev/null
  exec "$build/bin/lenfol_bench" --gate 25 --sizes 10000 --shapes typical
fi
cmake --build "$build" -j"${BENCH_JOBS:-2}" --target lenfol_bench lenfol_bench_heap >/dev/null

heap_args=()
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  case "${args[i]}" in
    --sizes|--shapes) heap_args+=("${args[i]}" "${args[i+1]:-}") ;;
  esac
done

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')," \
     "$(free -g | awk '/^Mem:/ {print $2}') GiB; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bin/lenfol_bench" "$@"
"$build/bin/lenfol_bench_heap" "${heap_args[@]}"
echo
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
