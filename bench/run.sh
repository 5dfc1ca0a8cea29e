#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# Builds the benchmarks in Release and prints their table.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"
# The responsiveness benchmark: an X server, the FAT image tools and the slow disk of the tests.
ensure_packages xvfb xauth dosfstools mtools fusefat fuse3 python3-fusepy
# The check on real volumes: user-mode Linux for the kernel FAT, ntfs-3g, strace to count calls.
ensure_packages user-mode-linux kmod ntfs-3g strace
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
build/bench/bin/bench_startup
build/bench/bin/bench_check
build/bench/bin/bench_stages
bench/volumes.sh
xvfb-run -a build/bench/bin/bench_responsive
