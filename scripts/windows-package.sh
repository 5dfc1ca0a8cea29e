#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# Builds Orvane's two packages for Windows into build/windows-package (or BUILD_DIR/package):
# the portable orvane-VERSION-windows-x64.zip and the installer
# orvane-VERSION-windows-x64-setup.exe, from orvane.exe as scripts/windows-build.sh builds it.
#   scripts/windows-package.sh [BUILD_DIR [CMAKE_OPTION...]]   (default build/windows-release)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages nsis zip
build="$(realpath -m "${1:-build/windows-release}")"
shift $(($# > 0 ? 1 : 0))
scripts/windows-build.sh "$build" "$@" >/dev/null
out="$build/package"
[ "$build" = "$(realpath -m build/windows-release)" ] && out="$PWD/build/windows-package"
(cd "$build" && cpack -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls "$out"/orvane-*-windows-x64.zip "$out"/orvane-*-windows-x64-setup.exe
