#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# Builds the Debian package build/package/orvane_VERSION_ARCH.deb: a Release build with
# Debian's hardening flags, stripped, its shared-library dependencies worked out by
# dpkg-shlibdeps.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"

# Fortified functions, a strong stack protector, a read-only relocation table bound at start
# (and PIE, the compiler's default).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build/package
rm -f build/package/orvane_*.deb
(cd build/package && cpack -G DEB)
ls build/package/orvane_*.deb
