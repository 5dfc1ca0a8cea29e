#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# Orvane's Windows packages as a user meets them, under Wine in the prefix WINEPREFIX names:
# the portable zip holds exactly orvane.exe, LICENSE.txt and README.txt (CRLF); the installer,
# run silently, puts orvane.exe into Program Files with a Start-menu entry and an entry in
# Add/Remove Programs; the installed exe starts and Quit ends it (TST_PROGRAM, the program
# test); the silent uninstall leaves nothing of Orvane. Needs a display.
#   check_packages_win.sh ZIP INSTALLER TST_PROGRAM
set -uo pipefail
zip="$1" installer="$2" tst_program="$3"
failed=0
check() { # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "PASS: $1"; else
        echo "FAIL: $1"
        failed=1
    fi
}
drive_c="$WINEPREFIX/drive_c"
dir="$drive_c/Program Files/Orvane"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvane/Orvane.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane'
value() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"; }
unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT

check "the zip holds orvane.exe, LICENSE.txt and README.txt, nothing else" \
    test "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = "LICENSE.txt README.txt orvane.exe "
unzip -q "$zip" -d "$unpacked"
crlf_only() { ! grep -qv $'\r$' "$@"; }
check "the zip's texts have CRLF line ends" crlf_only "$unpacked/README.txt" "$unpacked/LICENSE.txt"

wine "$installer" /S && wineserver -w
check "the installer puts orvane.exe into Program Files" test -f "$dir/orvane.exe"
check "the installed exe is the portable one" cmp -s "$dir/orvane.exe" "$unpacked/orvane.exe"
check "the Start menu has Orvane for every user" test -f "$shortcut"
check "Add/Remove Programs names Orvane 1.00 by Pellium Corporation, with its icon and uninstaller" \
    test "$(value DisplayName)|$(value DisplayVersion)|$(value Publisher)|$(value DisplayIcon)|$(value UninstallString)" \
    = 'Orvane|1.00|Pellium Corporation|C:\Program Files\Orvane\orvane.exe|"C:\Program Files\Orvane\Uninstall.exe"'
check "the installed exe starts, shows its window, and ends" \
    env ORVANE_EXE='C:\Program Files\Orvane\orvane.exe' wine "$tst_program" -silent

wine "$dir/Uninstall.exe" /S && wineserver -w
check "the uninstaller leaves no file" test ! -e "$dir"
check "the uninstaller leaves no Start-menu entry" test ! -e "$(dirname "$shortcut")"
check "the uninstaller leaves no Add/Remove Programs entry" sh -c '! wine reg query "$1" >/dev/null 2>&1' sh "$key"
exit "$failed"
