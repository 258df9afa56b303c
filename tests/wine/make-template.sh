#!/bin/bash
# Makes the Wine prefix that the Wine tests copy: a 64-bit prefix made by wineboot.
set -eu
. "$(dirname "$0")/lib.sh"
need_wine
template=$1
[ -f "$template/user.reg" ] && [ -d "$template/dosdevices" ] && exit 0
rm -rf "$template"
mkdir -p "$template"
WINEPREFIX="$template" WINEARCH=win64 wine wineboot -i >/dev/null 2>&1
wait_wine "$template"
[ -f "$template/user.reg" ] || { echo "wineboot made no user.reg"; exit 1; }
