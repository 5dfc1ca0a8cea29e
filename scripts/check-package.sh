#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# Builds the Debian package, holds it to lintian (any error or warning fails), and unpacks
# it into a throw-away root to check that each file lands where the desktop looks for it.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages lintian

./package.sh
deb=$(ls build/package/orvane_*.deb)
echo "lintian $deb"
lintian --fail-on error,warning --display-info "$deb"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"

passed=0 failed=0
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then
        passed=$((passed + 1))
    else
        echo "FAIL: $what" >&2
        failed=$((failed + 1))
    fi
}
app=com.pellium.orvane
for file in usr/share/applications/$app.desktop usr/share/metainfo/$app.metainfo.xml \
    usr/share/icons/hicolor/16x16/apps/$app.png usr/share/icons/hicolor/32x32/apps/$app.png \
    usr/share/icons/hicolor/scalable/apps/$app.svg usr/share/man/man1/orvane.1.gz \
    usr/share/doc/orvane/copyright usr/share/doc/orvane/changelog.gz; do
    check "/$file is in the package" test -f "$root/$file"
done
check "/usr/bin/orvane is an executable" test -x "$root/usr/bin/orvane"
check "the disk helper is where the program looks for it" test -x "$root/usr/libexec/orvane/orvane-disk"
desktop=$root/usr/share/applications/$app.desktop
check "the desktop entry starts the installed program" grep -qx "Exec=orvane" "$desktop"
check "the desktop entry names the installed icon" grep -qx "Icon=$app" "$desktop"
check "the metainfo launches the desktop entry" \
    grep -q ">$app.desktop</launchable>" "$root/usr/share/metainfo/$app.metainfo.xml"
# Without dpkg-shlibdeps, cpack leaves these out and the program cannot start once installed.
check "the package depends on the Qt libraries" grep -q libqt6widgets6 <(dpkg-deb -f "$deb" Depends)
check "the program finds every library" bash -c "ldd '$root/usr/bin/orvane' | { ! grep -q 'not found'; }"
check "the disk helper finds every library" \
    bash -c "ldd '$root/usr/libexec/orvane/orvane-disk' | { ! grep -q 'not found'; }"
check "the program answers --version" \
    test "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/orvane" --version)" = "orvane 1.00"
check "the changelog's newest entry is the package's version" \
    test "$(zcat "$root/usr/share/doc/orvane/changelog.gz" | head -n1 | cut -d' ' -f2)" \
    = "($(dpkg-deb -f "$deb" Version))"
echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
