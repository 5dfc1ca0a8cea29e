# SPDX-License-Identifier: LicenseRef-proprietary
# Installs the Debian packages named as arguments that are not installed yet, showing apt's
# progress. Sourced by the build scripts; needs root, or sudo when not root.
ensure_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "These Debian packages are needed: ${missing[*]}" >&2
            echo "Run as root or install sudo (as root: apt-get install sudo), or install them as root." >&2
            return 1
        fi
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

BUILD_PACKAGES=(cmake ninja-build g++ qt6-base-dev libgl-dev fonts-dejavu-core)
# cpack's Debian generator: file and dpkg-shlibdeps, without which it leaves out the
# shared-library dependencies.
PACKAGE_PACKAGES=(file dpkg-dev)
