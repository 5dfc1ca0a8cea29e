#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# Cross-builds the file functions, the scan and their tests for 64-bit Windows and runs the
# tests under Wine with ctest, in build/windows. A removable drive f: (a directory of the
# build) is set up in a fresh Wine prefix for them. Qt for Windows comes from
# scripts/windows-qt.sh (built once into a cache). Says "skipped: ..." and succeeds where
# Wine, the cross compiler or Qt's source cannot be had; fails when a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
start=$SECONDS

skip() {
    echo "Windows tests skipped: $*"
    exit 0
}

ensure_packages wine wine64 g++-mingw-w64-x86-64-posix dpkg-dev xz-utils >/dev/null 2>&1 \
    || skip "Wine or the mingw-w64 cross compiler cannot be installed"
command -v wine >/dev/null || skip "no wine command"

qt_status=0
qt="$(scripts/windows-qt.sh | tail -n1)" || qt_status=$?
[ "$qt_status" -eq 2 ] && skip "Qt's source cannot be fetched"
[ "$qt_status" -eq 0 ] || exit "$qt_status"
echo "Qt for Windows: $qt ($((SECONDS - start)) s)"

build="$PWD/build/windows"
prefix="$build/wineprefix"
drive="$build/drives/f"
mkdir -p "$build"
wine_env=(WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=")

cmake -S . -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$qt" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DORVANE_WINDOW=OFF -DBUILD_TESTING=ON \
    -DCMAKE_CROSSCOMPILING_EMULATOR="env;WINEPREFIX=$prefix;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=;wine" \
    >/dev/null
cmake --build "$build" --parallel 2

# A fresh prefix each run; Qt Test's output reaches the console only through the registry's
# environment, which is also where the tests learn of their drive.
rm -rf "$prefix" "$build/drives"
mkdir -p "$drive"
echo ORVANE >"$drive/.windows-label"
echo 0a1b2c3d >"$drive/.windows-serial"
env "${wine_env[@]}" wineboot -i >/dev/null 2>&1
ln -sfn "$drive" "$prefix/dosdevices/f:"
reg() { env "${wine_env[@]}" wine reg add "$@" /f >/dev/null; }
reg 'HKLM\Software\Wine\Drives' /v f: /d floppy
reg 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1
reg 'HKCU\Environment' /v ORVANE_TEST_DRIVE /d f:
reg 'HKCU\Environment' /v ORVANE_TEST_DRIVE_LABEL /d ORVANE
env "${wine_env[@]}" wineserver -w

status=0
ctest --test-dir "$build" --output-on-failure || status=$?
env "${wine_env[@]}" wineserver -k 2>/dev/null || true
echo "Windows tests: $((SECONDS - start)) s"
exit "$status"
