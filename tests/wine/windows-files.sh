#!/bin/bash
# The Windows program as it ships, on every host: ideweave.exe and its console
# twin ideweave.com, 32-bit files that 32-bit Windows 7 can load and that need
# no DLL beside them, with their version, and the zip with them, its texts and licences.
#   windows-files.sh IDEWEAVE_EXE VERSION
set -eu
. "$(dirname "$0")/lib.sh"
exe=$1 version=$2
[ -f "$exe" ] || skip "no $exe: Qt for Windows could not be built from Debian's source (scripts/build-windows.sh says why)"
command -v i686-w64-mingw32-objdump >/dev/null || skip "mingw-w64's objdump for 32-bit Windows is not installed"
com=${exe%.exe}.com
[ -f "$com" ] || fail "no $com beside $exe"
# The DLLs that 32-bit Windows 7 ships and the programs may import, each for a part of them.
windows7_dlls=(
    kernel32 user32 gdi32 advapi32 # the system, windows, drawing, the registry
    shell32 ole32 oleaut32         # the shell and COM, which Qt's Windows platform uses
    imm32 uxtheme dwmapi           # input methods, visual styles, the desktop compositor
    version winmm ws2_32 netapi32 userenv wtsapi32 # Qt Core's file versions, timers, host names, users, sessions
    msvcrt                         # mingw-w64's C runtime
)
check_program() { # FILE KIND: kind as file(1) names the subsystem, GUI or console
    local program=$1 kind=$2 name headers subsystem
    name=$(basename "$program")
    headers=$(i686-w64-mingw32-objdump -p "$program")
    file "$program" | grep -q "PE32 executable ($kind) Intel 80386" || fail "$name is no 32-bit $kind program: $(file -b "$program")"
    subsystem=$(sed -n 's/^MajorSubsystemVersion\s*//p' <<<"$headers").$(sed -n 's/^MinorSubsystemVersion\s*//p' <<<"$headers")
    [ "${subsystem%.*}" -lt 6 ] || [ "$subsystem" = 6.0 ] || [ "$subsystem" = 6.1 ] || fail "$name: subsystem version $subsystem is above Windows 7's 6.1"
    while read -r dll; do
        dll=$(tr 'A-Z' 'a-z' <<<"${dll%.*}")
        [[ " ${windows7_dlls[*]} " == *" $dll "* ]] || fail "$name imports $dll, which 32-bit Windows 7 does not have or the program must not need"
    done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
    # Functions that came after Windows 7 and creep in through newer libraries.
    grep -wE 'GetSystemTimePreciseAsFileTime|CreateFile2|WaitOnAddress|GetDpiForWindow|GetDpiForMonitor|SetThreadDescription|CreateDXGIFactory2|RoInitialize|PrefetchVirtualMemory' <<<"$headers" \
        && fail "$name imports functions that Windows 7 lacks"
    strings -el -n 3 "$program" | grep -qx "$version" || fail "$name carries no version $version"
    echo "$name: $(stat -c %s "$program") bytes, imports $(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr '\n' ' ')"
}
check_program "$exe" GUI
check_program "$com" console
# The twin has no Qt in it: a console program of its own size.
[ "$(stat -c %s "$com")" -lt 1000000 ] || fail "ideweave.com is $(stat -c %s "$com") bytes: it should hold no Qt"
zip=$(dirname "$exe")/ideweave-$version-win32.zip
files=(GPL-3.0.txt LGPL-3.0.txt LICENSE.txt QT-NOTICE.txt README.txt ideweave.com ideweave.exe)
[ "$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')" = "$(printf "ideweave-$version-win32/%s " "${files[@]}")" ] \
    || fail "the zip $zip does not hold the program, its README and the licences: $(unzip -Z1 "$zip" | tr '\n' ' ')"
notice=$(unzip -p "$zip" "ideweave-$version-win32/QT-NOTICE.txt")
grep -q "qtbase-opensource-src, version 5\.15\.[0-9]" <<<"$notice" || fail "the Qt notice names no Debian source of Qt 5.15"
unzip -p "$zip" "ideweave-$version-win32/LGPL-3.0.txt" | grep -q "GNU LESSER GENERAL PUBLIC LICENSE" || fail "the zip lacks the LGPL's text"
readme=$(unzip -p "$zip" "ideweave-$version-win32/README.txt")
for topic in ideweave.com --detailed-exitcodes -status --dry-run --log --tindraldir 'Inno Setup' NSIS PowerShell Intune 'Active Setup'; do
    grep -qF -- "$topic" <<<"$readme" || fail "the zip's README says nothing of $topic"
done
finish "ideweave.exe, ideweave.com and their zip are as they ship"
