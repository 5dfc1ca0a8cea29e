#!/usr/bin/env bash
# Builds Orvane and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
# The FAT volume tests mount a real FAT image through FUSE.
ensure_packages "${BUILD_PACKAGES[@]}" dosfstools mtools fusefat fuse
cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON >/dev/null
cmake --build build/debug
ctest --test-dir build/debug --output-on-failure
