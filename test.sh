#!/usr/bin/env bash
# Builds Orvane and runs every test: the suites, the same suites under AddressSanitizer
# and UndefinedBehaviorSanitizer, and a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
# FAT volume tests mount a real FAT image through FUSE; the fuzz targets need clang.
ensure_packages "${BUILD_PACKAGES[@]}" dosfstools mtools fusefat fuse clang libclang-rt-14-dev

cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON >/dev/null
cmake --build build/debug
ctest --test-dir build/debug --output-on-failure

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DORVANE_SANITIZE=ON >/dev/null
cmake --build build/asan
ctest --test-dir build/asan --output-on-failure

CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    -DORVANE_FUZZ=ON >/dev/null
cmake --build build/fuzz --target fuzz_textdecoding
ctest --test-dir build/fuzz -L fuzz --output-on-failure

scripts/check-package.sh # the Debian package: lintian, then where its files land
