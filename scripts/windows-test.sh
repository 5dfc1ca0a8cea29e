#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# Cross-builds orvane.exe and its tests for 64-bit Windows with mingw-w64, in build/windows,
# and runs the tests under Wine with ctest on a virtual display: the file functions, the
# decoding, the disk worker, the staged scan, the window, and orvane.exe itself; then builds
# the zip and the installer and checks them as a user meets them. A removable drive f: (a
# directory of the build) and a drive h: without its medium are set up in a fresh Wine
# prefix for them, with Wine's own Tahoma and MS Sans Serif in its fonts. Qt for Windows
# comes from scripts/windows-qt.sh (built once into a cache). Says "skipped: ..." and
# succeeds where Wine, the cross compiler or Qt's source cannot be had; fails when a test
# fails. Prints the time each part takes.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
start=$SECONDS
part=$SECONDS
took() {
    echo "Windows: $1 took $((SECONDS - part)) s"
    part=$SECONDS
}

skip() {
    echo "Windows tests skipped: $*"
    exit 0
}

ensure_packages wine wine64 g++-mingw-w64-x86-64-posix dpkg-dev xz-utils xvfb xauth fonts-wine icoutils \
    || skip "Wine or the mingw-w64 cross compiler cannot be installed"
command -v wine >/dev/null || skip "no wine command"
took "installing what it needs"

build="$PWD/build/windows"
prefix="$build/wineprefix"
drive="$build/drives/f"
wine_env=(WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=")

# Qt for Windows is built on the first run only.
build_status=0
scripts/windows-build.sh "$build" -DBUILD_TESTING=ON \
    -DCMAKE_CROSSCOMPILING_EMULATOR="env;WINEPREFIX=$prefix;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=;wine" \
    || build_status=$?
[ "$build_status" -eq 2 ] && skip "Qt's source cannot be fetched"
[ "$build_status" -eq 3 ] && skip "the mingw-w64 cross compiler cannot be installed"
[ "$build_status" -eq 0 ] || exit "$build_status"
took "building orvane.exe and the tests"

# A fresh prefix each run; Qt Test's output reaches the console only through the registry's
# environment, which is also where the tests learn of their drive.
umount -l "$build/drives/slow" "$build/drives/r" 2>/dev/null || true
rm -rf "$prefix" "$build/drives"
mkdir -p "$drive"
echo ORVANE >"$drive/.windows-label"
echo 0a1b2c3d >"$drive/.windows-serial"
env "${wine_env[@]}" wineboot -i >/dev/null 2>&1
ln -sfn "$drive" "$prefix/dosdevices/f:"
# Without them the boxes' "MS Shell Dlg" falls back to a serif face.
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
reg() { env "${wine_env[@]}" wine reg add "$@" /f >/dev/null; }
reg 'HKLM\Software\Wine\Drives' /v f: /d floppy
# h: a card reader without its card: a removable drive whose medium is not there.
ln -sfn "$build/drives/no-medium" "$prefix/dosdevices/h:"
reg 'HKLM\Software\Wine\Drives' /v h: /d floppy
reg 'HKCU\Environment' /v ORVANE_EMPTY_DRIVE /d h:
reg 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1
reg 'HKCU\Environment' /v ORVANE_TEST_DRIVE /d f:
reg 'HKCU\Environment' /v ORVANE_TEST_DRIVE_LABEL /d ORVANE
# g: a disk that opens and reads each file 400 ms late, where a FUSE file system can be mounted.
slow="$build/drives/slow"
if [ "$(id -u)" -eq 0 ] && [ -e /dev/fuse ] && /usr/bin/python3 -c 'import fusepy' 2>/dev/null; then
    mkdir -p "$build/drives/slow-source" "$slow"
    printf '[autorun]\r\nopen=evil.exe\r\n' >"$build/drives/slow-source/autorun.inf"
    /usr/bin/python3 tests/slowfs.py "$slow" "$build/drives/slow-source" 0.4 open read >/dev/null 2>&1 &
    for _ in $(seq 100); do [ -e "$slow/autorun.inf" ] && break; sleep 0.1; done
    ln -sfn "$slow" "$prefix/dosdevices/g:"
    reg 'HKCU\Environment' /v ORVANE_SLOW_DRIVE /d g:
else
    echo "Windows: the slow drive is left out: a FUSE mount needs root, /dev/fuse and python3-fusepy"
fi
# l: a Unix link named autorun.inf leading to a read-only file on another file system (as
# off a stick); r: a read-only mount, whose autorun.inf (not read-only) Wine reports deleted.
outside=$(mktemp /dev/shm/orvane-outside.XXXXXX)
printf '[autorun]\r\nopen=outside.exe\r\n' >"$outside"
chmod 444 "$outside"
mkdir -p "$build/drives/l" "$build/drives/r-source" "$build/drives/r"
ln -s "$outside" "$build/drives/l/autorun.inf"
ln -sfn "$build/drives/l" "$prefix/dosdevices/l:"
reg 'HKCU\Environment' /v ORVANE_LINK_DRIVE /d l:
printf '[autorun]\r\nopen=evil.exe\r\n' >"$build/drives/r-source/autorun.inf"
if [ "$(id -u)" -eq 0 ] && mount --bind "$build/drives/r-source" "$build/drives/r" \
    && mount -o remount,bind,ro "$build/drives/r"; then
    ln -sfn "$build/drives/r" "$prefix/dosdevices/r:"
    reg 'HKCU\Environment' /v ORVANE_READONLY_DRIVE /d r:
else
    echo "Windows: the read-only drive is left out: a read-only bind mount needs root"
fi
trap 'umount -l "$slow" "$build/drives/r" 2>/dev/null; rm -f "$outside"' EXIT
env "${wine_env[@]}" wineserver -w
took "a fresh Wine prefix"

status=0
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$build" --output-on-failure || status=$?
took "the tests under Wine"

# The portable zip and the installer, as a user meets them.
if ensure_packages nsis zip unzip >/dev/null; then
    scripts/windows-package.sh "$build" >/dev/null
    took "packaging"
    env "${wine_env[@]}" xvfb-run -a -s "-screen 0 1280x1024x24" tests/check_packages_win.sh \
        "$build"/package/orvane-*-windows-x64.zip "$build"/package/orvane-*-windows-x64-setup.exe \
        "$build/bin/tst_program_win.exe" 2>/dev/null || status=$?
    took "the packages' test under Wine"
    echo "Windows: the zip is $(stat -c %s "$build"/package/orvane-*-windows-x64.zip) bytes," \
        "the installer $(stat -c %s "$build"/package/orvane-*-windows-x64-setup.exe) bytes"
else
    echo "Windows packages' test skipped: nsis cannot be installed"
fi
env "${wine_env[@]}" wineserver -k 2>/dev/null || true
echo "Windows: $((SECONDS - start)) s in all; orvane.exe is $(stat -c %s "$build/bin/orvane.exe") bytes"
exit "$status"
