#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test of one preset
# (default: "default"; also "asan").
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"

bash scripts/deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"
ctest --preset "$preset" -j"$(nproc)"
