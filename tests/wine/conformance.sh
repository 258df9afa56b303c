#!/bin/bash
# Runs the conformance program built for Windows under Wine, against the real advapi32.
set -eu
. "$(dirname "$0")/lib.sh"
exe=$1
[ -f "$exe" ] || skip "no Windows build of the conformance program (mingw-w64 missing)"
use_new_prefix "$2"
# LANG=C gives the prefix the Windows-1252 code page that the program's 8-bit texts use.
LANG=C WINEPREFIX="$prefix" wine "$exe"
