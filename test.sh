#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# Builds Orvane and runs every test: the suites (with the style and lint checks), the same
# suites under AddressSanitizer and UndefinedBehaviorSanitizer, then under ThreadSanitizer,
# and a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
# FAT volume tests mount a real FAT image through FUSE; the fuzz targets need clang; the
# lint tests check the code and the desktop files.
ensure_packages "${BUILD_PACKAGES[@]}" dosfstools mtools fusefat fuse3 clang libclang-rt-14-dev \
    clang-format clang-tidy desktop-file-utils appstream
# Hostile-volume and drive-list tests mount ext2 images from loop devices.
ensure_packages e2fsprogs mount

for preset in debug asan tsan; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz

# The Windows build of the file functions and the scan, its tests under Wine.
scripts/windows-test.sh
