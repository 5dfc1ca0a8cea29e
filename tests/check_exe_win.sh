#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# What Windows shows of orvane.exe and what it needs to start, read back from the file:
# it imports only DLLs every Windows has; it carries the manifest (as invoker, per-monitor
# DPI aware, common controls 6, Windows 10 and 11), the icon at 16, 32 and 48 px, and the
# version resource.
#   check_exe_win.sh ORVANE_EXE
set -uo pipefail
exe="$1"
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

system_dlls='advapi32|authz|comdlg32|d3d9|d3d11|dwmapi|dxgi|gdi32|imm32|kernel32|msvcrt|netapi32|ole32|oleaut32|shcore|shell32|shlwapi|user32|userenv|uxtheme|version|winmm|ws2_32|wtsapi32|api-ms-win-[a-z0-9-]+'
imports="$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')"
[ -n "$imports" ] || fail "no imports read from $exe"
for dll in $imports; do
    [[ "$dll" =~ ^($system_dlls)\.dll$ ]] || fail "imports $dll, which is not part of Windows"
done

manifest="$(wrestool -x --raw --type=24 --name=1 "$exe" | tr -d '\r')"
for want in 'level="asInvoker"' '>PerMonitorV2<' 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
    '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
    grep -qF "$want" <<<"$(tr -s ' \n' ' ' <<<"$manifest")" || fail "the manifest lacks $want"
done

icon="$(mktemp)"
trap 'rm -f "$icon"' EXIT
wrestool -x --type=14 --name=IDI_ICON1 "$exe" >"$icon"
sizes="$(icotool -l "$icon" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' ')"
[ "$sizes" = "16 32 48 " ] || fail "the icon has sizes '$sizes', not 16 32 48"

version="$(wrestool -x --raw --type=16 "$exe" | iconv -f UTF-16LE -t UTF-8 2>/dev/null | tr -c '[:print:]' '\n')"
for want in 'Pellium Corporation' 'Orvane.' 'orvane.exe' '1.00'; do
    grep -qxF "$want" <<<"$version" || fail "the version resource lacks '$want'"
done

[ "$failed" -eq 0 ] && echo "orvane.exe: system DLLs only; manifest, icon (16, 32, 48 px) and version as given"
exit "$failed"
