#!/bin/bash
# The Windows program as it ships, on every host: one 32-bit file that 32-bit
# Windows 7 can load and that needs no DLL beside it, with its version, and the
# zip with its texts and licences.
#   windows-files.sh IDEWEAVE_EXE VERSION
set -eu
. "$(dirname "$0")/lib.sh"
exe=$1 version=$2
[ -f "$exe" ] || skip "no $exe: Qt for Windows could not be built from Debian's source (scripts/build-windows.sh says why)"
command -v i686-w64-mingw32-objdump >/dev/null || skip "mingw-w64's objdump for 32-bit Windows is not installed"
headers=$(i686-w64-mingw32-objdump -p "$exe")
file "$exe" | grep -q 'PE32 executable (GUI) Intel 80386' || fail "ideweave.exe is no 32-bit GUI program: $(file -b "$exe")"
subsystem=$(sed -n 's/^MajorSubsystemVersion\s*//p' <<<"$headers").$(sed -n 's/^MinorSubsystemVersion\s*//p' <<<"$headers")
[ "${subsystem%.*}" -lt 6 ] || [ "$subsystem" = 6.0 ] || [ "$subsystem" = 6.1 ] || fail "subsystem version $subsystem is above Windows 7's 6.1"
# The DLLs that 32-bit Windows 7 ships and the program may import, each for a part of it.
windows7_dlls=(
    kernel32 user32 gdi32 advapi32 # the system, windows, drawing, the registry
    shell32 ole32 oleaut32         # the shell and COM, which Qt's Windows platform uses
    imm32 uxtheme dwmapi           # input methods, visual styles, the desktop compositor
    version winmm ws2_32 netapi32 userenv wtsapi32 # Qt Core's file versions, timers, host names, users, sessions
    msvcrt                         # mingw-w64's C runtime
)
while read -r dll; do
    name=$(tr 'A-Z' 'a-z' <<<"${dll%.*}")
    [[ " ${windows7_dlls[*]} " == *" $name "* ]] || fail "ideweave.exe imports $dll, which 32-bit Windows 7 does not have or the program must not need"
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
# Functions that came after Windows 7 and creep in through newer libraries.
grep -wE 'GetSystemTimePreciseAsFileTime|CreateFile2|WaitOnAddress|GetDpiForWindow|GetDpiForMonitor|SetThreadDescription|CreateDXGIFactory2|RoInitialize|PrefetchVirtualMemory' <<<"$headers" \
    && fail "ideweave.exe imports functions that Windows 7 lacks"
strings -el -n 3 "$exe" | grep -qx "$version" || fail "ideweave.exe carries no version $version"
zip=$(dirname "$exe")/ideweave-$version-win32.zip
files=(GPL-3.0.txt LGPL-3.0.txt LICENSE.txt QT-NOTICE.txt README.txt ideweave.exe)
[ "$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')" = "$(printf "ideweave-$version-win32/%s " "${files[@]}")" ] \
    || fail "the zip $zip does not hold the program, its README and the licences: $(unzip -Z1 "$zip" | tr '\n' ' ')"
notice=$(unzip -p "$zip" "ideweave-$version-win32/QT-NOTICE.txt")
grep -q "qtbase-opensource-src, version 5\.15\.[0-9]" <<<"$notice" || fail "the Qt notice names no Debian source of Qt 5.15"
unzip -p "$zip" "ideweave-$version-win32/LGPL-3.0.txt" | grep -q "GNU LESSER GENERAL PUBLIC LICENSE" || fail "the zip lacks the LGPL's text"
finish "ideweave.exe and its zip are as they ship"
