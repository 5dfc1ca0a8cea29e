#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# Builds a static Qt Core + Qt Test for 64-bit Windows from Debian's own Qt source with
# Debian's mingw-w64, the host tools (moc, rcc) taken from Debian's Qt. The result lands in
# a cache outside the tree and is reused when present:
#   ${ORVANE_QT_WINDOWS:-${XDG_CACHE_HOME:-$HOME/.cache}/orvane/qt-windows}
# Prints the install prefix on its last line. Apt's own sources stay untouched: the source
# is fetched through a private apt configuration inside the cache. Exits with 2 when the
# source cannot be fetched.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/packages.sh"

cache="${XDG_CACHE_HOME:-$HOME/.cache}/orvane"
prefix="${ORVANE_QT_WINDOWS:-$cache/qt-windows}"
stamp="$prefix/.orvane-complete"
if [ -f "$stamp" ]; then
    echo "$prefix"
    exit 0
fi

ensure_packages g++-mingw-w64-x86-64-posix dpkg-dev xz-utils cmake ninja-build qt6-base-dev

work="$cache/qt-windows-build"
apt_dir="$cache/apt"
mkdir -p "$work" "$apt_dir/lists/partial" "$apt_dir/archives/partial" "$apt_dir/parts"
# The Debian release of the installed Qt, as the machine's apt sources name it.
suite="$(. /etc/os-release && echo "$VERSION_CODENAME")"
echo "deb-src http://deb.debian.org/debian $suite main" >"$apt_dir/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir" -o "Dir::Cache::archives=$apt_dir/archives"
    -o "Debug::NoLocking=1" -o "APT::Sandbox::User=root")

src="$(ls -d "$work"/qt6-base-6.4.2*/ 2>/dev/null | head -n1 || true)"
if [ -z "$src" ]; then
    apt-get "${apt_opts[@]}" -qq update || exit 2
    # The same Debian version as the installed Qt, whose host tools the build uses.
    version="$(dpkg-query -W -f='${Version}' qt6-base-dev)"
    (cd "$work" && apt-get "${apt_opts[@]}" -qq source "qt6-base=$version") || exit 2
    src="$(ls -d "$work"/qt6-base-6.4.2*/ | head -n1)"
fi

build="$work/build"
start=$SECONDS
rm -rf "$build"
cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/../cmake/mingw-w64.cmake" \
    -DCMAKE_EXE_LINKER_FLAGS= \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_SHARED_LIBS=OFF \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DQT_FEATURE_gui=OFF -DQT_FEATURE_widgets=OFF -DQT_FEATURE_network=OFF \
    -DQT_FEATURE_sql=OFF -DQT_FEATURE_xml=OFF -DQT_FEATURE_dbus=OFF \
    -DQT_FEATURE_concurrent=OFF -DQT_FEATURE_printsupport=OFF -DQT_FEATURE_opengl=OFF \
    -DQT_FEATURE_testlib=ON -DQT_FEATURE_icu=OFF \
    -DQT_FEATURE_system_zlib=OFF -DQT_FEATURE_system_pcre2=OFF \
    -DQT_FEATURE_system_doubleconversion=OFF \
    -DQT_FEATURE_zstd=OFF -DQT_FEATURE_sql_sqlite=OFF >"$work/configure.log" 2>&1 || {
    tail -n 40 "$work/configure.log" >&2
    exit 1
}
echo "Qt for Windows: configured in $((SECONDS - start)) s" >&2
nice -n 10 cmake --build "$build" --parallel 2 >"$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log" >&2
    exit 1
}
cmake --install "$build" >"$work/install.log" 2>&1
echo "Qt for Windows: built in $((SECONDS - start)) s into $prefix" >&2
touch "$stamp"
rm -rf "$work" "$apt_dir" # the source and the build tree, some 700 MB, are not needed again
echo "$prefix"
