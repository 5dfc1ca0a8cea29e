#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# Builds Orvane's packages.
#   ./package.sh          the Debian package build/package/orvane_VERSION_ARCH.deb: a Release
#                         build with Debian's hardening flags, stripped, its shared-library
#                         dependencies worked out by dpkg-shlibdeps
#   ./package.sh --all    that, then the Windows zip and installer (scripts/windows-package.sh;
#                         its first run builds Qt for Windows), the three copied into
#                         build/packages/ with a SHA256SUMS file
# Installs what it needs to build.
set -euo pipefail
cd "$(dirname "$0")"
all=false
case "${1:-}" in
"") ;;
--all) all=true ;;
*)
    echo "usage: ./package.sh [--all]" >&2
    exit 1
    ;;
esac
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
deb=$(ls build/package/orvane_*.deb)
if ! $all; then
    echo "$deb"
    exit 0
fi

# The Windows packages: the script's last two lines name them.
echo "Building the Windows packages (the first run builds Qt for Windows first)"
listing=$(scripts/windows-package.sh)
mapfile -t windows < <(tail -n 2 <<<"$listing")
out=build/packages
rm -rf "$out"
mkdir -p "$out"
cp "$deb" "${windows[@]}" "$out"
(cd "$out" && sha256sum -- orvane* >SHA256SUMS)
echo "$out:"
ls -l "$out"
