#!/bin/bash
# Makes a Wine prefix that the Wine tests copy, by wineboot: of the kind ARCH
# names, win32 (Developer Studio's usual home; skipped where 32-bit programs
# cannot run) or win64.
#   make-template.sh TEMPLATE ARCH
set -eu
. "$(dirname "$0")/lib.sh"
need_wine
template=$1 arch=$2
[ "$arch" = win64 ] || need_32bit
[ -f "$template/user.reg" ] && [ -d "$template/dosdevices" ] && exit 0
rm -rf "$template"
mkdir -p "$template"
WINEPREFIX="$template" WINEARCH=$arch wine wineboot -i >/dev/null 2>&1 || true
wait_wine "$template"
grep -qx "#arch=$arch" "$template/user.reg" 2>/dev/null || { echo "wineboot made no $arch user.reg"; exit 1; }
