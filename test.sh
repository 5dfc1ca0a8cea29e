#!/usr/bin/env bash
# Builds Orvane and runs every test: the suites, the same suites under AddressSanitizer
# and UndefinedBehaviorSanitizer, and a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
# FAT volume tests mount a real FAT image through FUSE; the fuzz targets need clang.
ensure_packages "${BUILD_PACKAGES[@]}" dosfstools mtools fusefat fuse3 clang libclang-rt-14-dev
# The kernel FAT tests boot user-mode Linux; the NTFS tests mount an image through ntfs-3g,
# which needs fuse3 (fuse3 also serves fusefat: the package fuse would remove it).
ensure_packages user-mode-linux kmod ntfs-3g

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
