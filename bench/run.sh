#!/usr/bin/env bash
# Builds the benchmarks in Release and prints their table.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
build/bench/bench/bench_startup
build/bench/bench/bench_check
build/bench/bench/bench_stages
bench/volumes.sh
