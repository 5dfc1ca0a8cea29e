#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-proprietary
# The check of the last stage on real volumes against the raw calls on the same file: the
# kernel's vfat inside user-mode Linux, ntfs-3g on a loop device, and fusefat, with the
# system calls each side makes. Needs root and build/bench (bench/run.sh builds it); a volume
# that cannot be mounted here is left out, saying why.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
PATH=$PATH:/usr/sbin:/sbin
bench=$PWD/build/bench/bin/bench_check
[ "$(id -u)" -eq 0 ] || { echo "Real volumes: left out, mounting them needs root"; exit 0; }
work=$(mktemp -d)
loop=""
cleanup() {
    umount "$work/ntfs" 2>/dev/null
    fusermount -u "$work/fusefat" 2>/dev/null
    [ -n "$loop" ] && losetup -d "$loop"
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/vfat" "$work/ntfs" "$work/fusefat"

# System calls of one check and of the raw calls, between the markers bench_check --trace makes.
calls() {
    command -v strace >/dev/null || { echo "(strace is not installed: no system call count)"; return; }
    strace -qq -o "$work/trace.$2" "$bench" --volume "$1" - --trace
    awk '/orvane-ours/ { ours = !ours; next } /orvane-raw/ { raw = !raw; next }
         ours { o++ } raw { r++ } END { printf "  %s: %d system calls against %d\n", name, o, r }' \
        name="$2" "$work/trace.$2"
}

"$bench" --volume-header
notes=()

if command -v linux.uml >/dev/null && command -v mkfs.vfat >/dev/null; then
    mkfs.vfat -C "$work/vfat.img" 4096 >/dev/null
    cat > "$work/init.sh" <<INIT
#!/bin/bash
PATH=/usr/sbin:/usr/bin:/sbin:/bin; export PATH
m=/usr/lib/uml/modules/\$(uname -r)/kernel/fs
for module in nls/nls_cp437 nls/nls_iso8859-1 fat/fat fat/vfat; do insmod \$m/\$module.ko; done
mount -t proc proc /proc
mount -t vfat /dev/ubda '$work/vfat'
'$bench' --volume '$work/vfat' 'kernel vfat, inside user-mode Linux' > '$work/uml.row' 2>&1
$(declare -f calls)
bench='$bench' work='$work' calls '$work/vfat' 'kernel vfat, inside user-mode Linux' > '$work/uml.calls' 2>&1
umount '$work/vfat'
echo o > /proc/sysrq-trigger
sleep 60 # init must outlive the power-off
INIT
    chmod +x "$work/init.sh"
    TMPDIR=$work timeout 300 linux.uml mem=64M uml_dir="$work" ubd0="$work/vfat.img" rootfstype=hostfs rootflags=/ \
        rw init="$work/init.sh" con=null con0=fd:0,fd:1 </dev/null >"$work/uml.console" 2>&1
    if [ -s "$work/uml.row" ]; then
        cat "$work/uml.row"
        notes+=("$(cat "$work/uml.calls")")
    else
        notes+=("  kernel vfat: left out, user-mode Linux did not run the check: $(tail -3 "$work/uml.console")")
    fi
else
    notes+=("  kernel vfat: left out, user-mode-linux or dosfstools is not installed")
fi

if command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null && truncate -s 16M "$work/ntfs.img" \
    && mkntfs -F -f -q "$work/ntfs.img" >/dev/null 2>&1 && loop=$(losetup -f --show "$work/ntfs.img") \
    && ntfs-3g "$loop" "$work/ntfs"; then
    "$bench" --volume "$work/ntfs" "ntfs-3g on a loop device"
    notes+=("$(calls "$work/ntfs" "ntfs-3g")")
else
    notes+=("  ntfs-3g: left out, no NTFS image could be made, attached and mounted")
fi

if command -v fusefat >/dev/null && mkfs.vfat -C "$work/fusefat.img" 4096 >/dev/null \
    && fusefat -o rw+ "$work/fusefat.img" "$work/fusefat" >/dev/null 2>&1; then
    "$bench" --volume "$work/fusefat" "fusefat"
    notes+=("$(calls "$work/fusefat" "fusefat")")
else
    notes+=("  fusefat: left out, it is not installed or cannot mount")
fi

printf '%s\n' "${notes[@]}"
