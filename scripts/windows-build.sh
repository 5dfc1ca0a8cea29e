#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# Cross-builds orvane.exe for 64-bit Windows with Debian's mingw-w64 against a static Qt
# (scripts/windows-qt.sh, built once into a cache): one stripped exe with its icon, version
# and manifest, no DLL beside it.
#   scripts/windows-build.sh [BUILD_DIR [CMAKE_OPTION...]]   (default build/windows-release)
# Exits with 2 when Qt's source cannot be fetched, 3 when the cross compiler cannot be had.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
build="$(realpath -m "${1:-build/windows-release}")"
shift $(($# > 0 ? 1 : 0))

ensure_packages g++-mingw-w64-x86-64-posix dpkg-dev xz-utils cmake ninja-build qt6-base-dev || exit 3
qt="$(scripts/windows-qt.sh | tail -n1)" # exits with 2 when the source cannot be fetched

# A tree configured against another Qt (its options changed) starts anew.
if [ -f "$build/CMakeCache.txt" ] && ! grep -qxF "CMAKE_PREFIX_PATH:UNINITIALIZED=$qt" "$build/CMakeCache.txt"; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
# Without the tests unless asked for; a tree configured before keeps its own choice.
first_time=()
[ -f "$build/CMakeCache.txt" ] || first_time=(-DBUILD_TESTING=OFF)
cmake -S . -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$qt" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    "${first_time[@]}" "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
echo "$build/bin/orvane.exe"
