#!/bin/bash
# Runs the conformance program built for Windows under Wine, against the real advapi32.
set -eu
. "$(dirname "$0")/lib.sh"
need_wine
exe=$1
[ -f "$exe" ] || skip "no Windows build of the conformance program (mingw-w64 missing)"
prefix=$(new_prefix "$2")
trap 'wait_wine "$prefix"; rm -rf "$prefix"' EXIT
# LANG=C gives the prefix the Windows-1252 code page that the program's 8-bit texts use.
LANG=C WINEPREFIX="$prefix" wine "$exe"
