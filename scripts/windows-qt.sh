#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# Builds a static Qt Core, Gui, Widgets and Test for 64-bit Windows from Debian's own Qt
# source with Debian's mingw-w64, the host tools (moc, rcc, uic) taken from Debian's Qt. The
# platform plugin qwindows and the windowsvista style are linked in statically. The result
# lands in a cache outside the tree, keyed by this build's options so that a change of them
# builds a new one, and is reused when present:
#   ${ORVANE_QT_WINDOWS:-${XDG_CACHE_HOME:-$HOME/.cache}/orvane/qt-windows-KEY}
# Prints the install prefix on its last line. Apt's own sources stay untouched: the source
# is fetched through a private apt configuration inside the cache, from the mirrors the
# machine's own apt sources name. Exits with 2 when the source cannot be fetched.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/packages.sh"

# What the program uses none of. Kept on although unused, because the build breaks
# without them: mainwindow, toolbar, menubar (compat/removed_api.cpp includes them
# unguarded), tabbar, tabwidget, treeview, tableview, spinbox, radiobutton, inputdialog,
# stackedwidget (the windowsvista style uses them unguarded), and the built-in image formats
# (drag and drop needs XPM, and its absence breaks QApplication). Accessibility stays for
# screen readers. With direct2d off, directwrite3 must go too (the GDI font engine stays).
# Optimized for size: orvane.exe is 11.5 MB so, against 16.6 MB with -O2.
off_features=(
    network sql xml dbus concurrent printsupport vulkan icu zstd freetype fontconfig
    direct2d directwrite3
    imageformatplugin
    jpeg gif ico movie pdf picture textodfwriter textmarkdownreader textmarkdownwriter
    sessionmanager systemtrayicon tabletevent undocommand undostack undogroup undoview
    whatsthis style-fusion style-stylesheet graphicsview graphicseffect mdiarea dockwidget
    statusbar toolbox splitter calendarwidget datetimeedit filedialog colordialog fontdialog
    wizard errormessage progressdialog fontcombobox lcdnumber dial splashscreen
    keysequenceedit commandlinkbutton textbrowser syntaxhighlighter formlayout columnview
    treewidget tablewidget listwidget datawidgetmapper completer fscompleter filesystemmodel
    scroller system_zlib system_pcre2 system_png system_harfbuzz
    system_doubleconversion
)
qt_options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_testlib=ON -DFEATURE_accessibility=ON
    -DINPUT_opengl=no -DFEATURE_optimize_size=ON
)
for f in "${off_features[@]}"; do qt_options+=("-DFEATURE_${f//-/_}=OFF"); done
key="$(printf '%s\n' "$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null)" "${qt_options[@]}" \
    | sha256sum | cut -c1-12)"

cache="${XDG_CACHE_HOME:-$HOME/.cache}/orvane"
prefix="${ORVANE_QT_WINDOWS:-$cache/qt-windows-$key}"
stamp="$prefix/.orvane-complete"
if [ -f "$stamp" ]; then
    echo "$prefix"
    exit 0
fi

ensure_packages g++-mingw-w64-x86-64-posix dpkg-dev xz-utils cmake ninja-build qt6-base-dev

work="$cache/qt-windows-build"
apt_dir="$cache/apt"
mkdir -p "$work" "$apt_dir/lists/partial" "$apt_dir/archives/partial" "$apt_dir/parts"
# The source lines of the machine's own binary sources, one-line and deb822 alike: the same
# mirrors, suites and keys.
{
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
        | awk '$1 == "deb" { $1 = "deb-src"; print }'
    for sources in /etc/apt/sources.list.d/*.sources; do
        [ -e "$sources" ] || continue
        awk 'function flush() {
                 if (types ~ /(^| )deb( |$)/ && enabled != "no")
                     for (u = 1; u <= nu; u++) for (s = 1; s <= ns; s++)
                         print "deb-src" (key ? " [signed-by=" key "]" : "") " " uri[u] " " suite[s] " " comps
                 types = comps = key = enabled = ""; nu = ns = 0
             }
             /^[ \t]*#/ { next }
             /^[ \t]*$/ { flush(); next }
             { field = tolower($1); sub(/^[^:]*:[ \t]*/, "") }
             field == "types:" { types = $0 }
             field == "uris:" { nu = split($0, uri, /[ \t]+/) }
             field == "suites:" { ns = split($0, suite, /[ \t]+/) }
             field == "components:" { comps = $0 }
             field == "signed-by:" { key = $0 }
             field == "enabled:" { enabled = tolower($0) }
             END { flush() }' "$sources"
    done
} >"$apt_dir/sources.list"
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
echo "Qt for Windows: building into $prefix (about a quarter of an hour on 2 cores, once)" >&2
cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/../cmake/mingw-w64.cmake" \
    -DCMAKE_EXE_LINKER_FLAGS= \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    "${qt_options[@]}" >"$work/configure.log" 2>&1 || {
    tail -n 40 "$work/configure.log" >&2
    exit 1
}
echo "Qt for Windows: configured in $((SECONDS - start)) s" >&2
nice -n 10 cmake --build "$build" --parallel "$(nproc)" >"$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log" >&2
    exit 1
}
cmake --install "$build" >"$work/install.log" 2>&1
echo "Qt for Windows: built in $((SECONDS - start)) s into $prefix" >&2
touch "$stamp"
# The source and the build tree (some 700 MB) are not needed again, nor are Qts built
# with other options.
rm -rf "$work" "$apt_dir"
for old in "$cache"/qt-windows "$cache"/qt-windows-*; do
    [ "$old" = "$prefix" ] || rm -rf "$old"
done
echo "$prefix"
