#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# Builds Orvane and runs every test: the suites (with the style and lint checks), the same
# suites under AddressSanitizer and UndefinedBehaviorSanitizer, then under ThreadSanitizer,
# a short run of each fuzz target, the Debian package's check, and orvane.exe with the
# suites that serve Windows, cross-built and run under Wine. Prints the time each part takes.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
# FAT volume tests mount a real FAT image through FUSE; the fuzz targets need clang; the
# lint tests check the code and the desktop files.
ensure_packages "${BUILD_PACKAGES[@]}" dosfstools mtools fusefat fuse3 clang libclang-rt-14-dev \
    clang-format clang-tidy desktop-file-utils appstream
# Hostile-volume, drive-list and volume-list tests mount ext2 and btrfs images from loop devices.
ensure_packages e2fsprogs mount btrfs-progs
# The kernel FAT tests boot user-mode Linux and make slow and failing disks there with
# dmsetup; the NTFS tests mount an image through ntfs-3g, which needs fuse3 (fuse3 also
# serves fusefat: the package fuse would remove it).
ensure_packages user-mode-linux kmod dmsetup ntfs-3g
# The slow-disk test mounts a FUSE file system written in Python that answers each request late.
ensure_packages python3-fusepy

part=$SECONDS
took() {
    echo "$1 took $((SECONDS - part)) s"
    part=$SECONDS
}

# Each a workflow preset: configure, build, and run its tests.
for preset in debug asan tsan fuzz; do
    cmake --workflow --preset "$preset"
    took "The $preset preset"
done

scripts/check-package.sh # the Debian package: lintian, then where its files land
took "The Debian package's check"

scripts/windows-test.sh # orvane.exe and the Windows suites under Wine
took "Windows"
