#!/usr/bin/env bash
# Builds Orvane and starts it.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"
cmake --preset release >/dev/null
cmake --build --preset release
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "No display to show the window on; on a machine without one, try: xvfb-run ./run.sh"
    command -v xvfb-run >/dev/null || echo "xvfb-run comes with Debian's xvfb and xauth: apt-get install xvfb xauth (as root)"
    exit 1
fi
exec build/release/bin/orvane
