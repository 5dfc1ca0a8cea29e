#!/usr/bin/env bash
# A long fuzzing run of every fuzz target: ./bench/fuzz.sh [SECONDS-EACH] (default 600).
# Findings land in build/fuzz/tests/fuzz/findings-*; each one becomes a test.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" clang libclang-rt-14-dev
seconds=${1:-600}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
for target in fuzz_textdecoding; do
    corpus=build/fuzz/tests/fuzz/corpus/$target
    mkdir -p "$corpus"
    echo "== $target, $seconds s"
    build/fuzz/bin/$target -max_total_time="$seconds" -max_len=65536 -timeout=10 -print_final_stats=1 \
        -artifact_prefix=build/fuzz/tests/fuzz/findings- "$corpus" "tests/fuzz/corpus/${target#fuzz_}" 2>&1 |
        grep -E '^stat::(number_of_executed_units|peak_rss_mb|new_units_added)|ERROR|SUMMARY|Done' || true
done
echo "findings: $(ls build/fuzz/tests/fuzz/findings-* 2>/dev/null | wc -l)"
