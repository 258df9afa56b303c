#!/bin/bash
# The Windows program under Wine, through the real advapi32: one 32-bit file
# that 32-bit Windows 7 can load and that needs no DLL beside it, with its
# version and zip; on a table of starting registries, in a 32-bit and a 64-bit
# prefix, it says, exits and leaves what the Linux program says, exits and
# leaves, as Wine reads it; it speaks German under a German locale and shows
# its window.
#   windows.sh IDEWEAVE_EXE IDEWEAVE TEMPLATE_WIN32 TEMPLATE_WIN64 GERMAN_QM SCREENSHOT VERSION
set -eu
. "$(dirname "$0")/lib.sh"
need_wine
exe=$1 linux=$2 template32=$3 template64=$4 german=$5 screenshot=$6 version=$7
[ -f "$exe" ] || skip "no $exe: Qt for Windows could not be built from Debian's source (scripts/build-windows.sh says why)"
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
export LANG=C LC_ALL=C

tools='[HKEY_CURRENT_USER\Software\Microsoft\Devstudio\6.0\Tools]'
options='[HKEY_CURRENT_USER\SOFTWARE\Brackwater Software\Tindral\Options\Studio]'
menu() { # PROGRAM...: the user's Tools entries, their texts all the program's path
    echo "$tools"
    local i=0 stem
    for program in "$@"; do
        for stem in MenuName DefaultArguments InitialDirectory PathName; do printf '"%s#%s"="%s"\n' $stem $i "${program//\\/\\\\}"; done
        for stem in AskArgument GUITool OutputRedirect CloseWindow UseSearchPath VisibleOnMenu ReloadNoPrompt; do
            printf '"%s#%s"=dword:%08x\n' $stem $i $((i % 3))
        done
        i=$((i + 1))
    done
    printf '"NumTools"=dword:%08x\n' $#
}
start_registry() { # ROW
    echo REGEDIT4
    echo '[HKEY_CURRENT_USER\Software\Microsoft\Devstudio\6.0\Build System\Components\Platforms\Win32 (x86)\Directories]'
    case $1 in
        renumber) echo '"Path Dirs"="C:\\Tindral\\targets\\cvisual6\\cmd;C:\\Tindral\\bin\\intel\\win32;C:\\Common;C:\\VC98;C:\\My"'
            printf '%s\n"ACTIVATION"=hex:00\n"Restore Path"="C:\\\\VC98"\n' "$options"
            menu 'C:\first.exe' 'C:\Tindral\bin\intel\win32\tindview.exe' 'C:\Tindral\bin\intel\win32\tindopts.exe' 'C:\late.exe' ;;
        tools15) echo '"Path Dirs"="C:\\VC98"'; menu $(seq -f 'C:\\t%g.exe' 15) ;;
        typed) # a lookalike of the user's before the product's entries, and a user's entry of other types behind them
            echo '"Path Dirs"="C:\\Tindral\\targets\\cvisual6\\cmd;C:\\Tindral\\bin\\intel\\win32;C:\\Common;C:\\VC98"'
            printf '%s\n"ACTIVATION"=hex:00\n"Restore Path"="C:\\\\VC98"\n' "$options"
            menu 'C:\Old\bin\tindview.exe' 'C:\Tindral\bin\intel\win32\tindview.exe' 'C:\Tindral\bin\intel\win32\tindopts.exe' 'C:\late.exe'
            printf '"%s"=%s\n' 'DefaultArguments#3' 'hex(7):6f,6e,65,00,74,77,6f,00,00' 'InitialDirectory#3' 'hex(2):25,54,45,4d,50,25,00' \
                'MenuName#3' 'hex:00,ff,10' 'GUITool#3' '"1"' ;;
        *) echo '"Path Dirs"="C:\\VC98;C:\\WINDOWS"'; menu $(seq -f 'C:\\t%g.exe' 14) ;;
    esac
}
import_start() { WINEPREFIX=$prefix wine reg import "$prefix/start.reg" >"$prefix/import.out" 2>&1; }
# Runs a program in a prefix from drive C's root; prints its status and output,
# then Developer Studio's keys and the product's as Wine reads them.
outcome() { # PREFIX PRODUCT COMMAND...
    local prefix=$1 product=$2 status=0 out
    shift 2
    out=$(cd "$prefix/drive_c" && WINEPREFIX=$prefix TINDRALDIR=$product "$@" 2>&1) || status=$?
    printf 'status %s\n%s\n' "$status" "${out//$'\r'/}"
    for key in 'HKCU\Software\Microsoft\Devstudio' 'HKCU\Software\Brackwater Software'; do
        WINEPREFIX=$prefix wine reg export "$key" "$prefix/out.reg" /y >/dev/null 2>&1 && iconv -f UTF-16LE -t UTF-8 "$prefix/out.reg" | tr -d '\r'
    done
    wait_wine "$prefix"
}

for row in {win32,win64}' kit D:\kit\rt' {win32,win64}' relative rt\' 'win32 tools15 C:\Tindral' {win64,win32}' renumber C:\Tindral' 'win32 typed C:\Tindral'; do
    arch=${row%% *} row=${row#* }
    name=${row%% *} product=${row#* }
    template=$template32
    [ "$arch" = win32 ] || template=$template64
    for side in linux windows; do
        new_prefix "$template"
        mkdir -p "$prefix/drive_d" "$prefix/drive_d/kit/rt/lib/locale" "$prefix/drive_c/rt/lib/locale" "$prefix/drive_c/rt\\/lib/locale" \
            "$prefix/drive_c/Tindral/lib/locale"
        ln -s ../drive_d "$prefix/dosdevices/d:"
        start_registry "$name" >"$prefix/start.reg"
        # A first start of Wine in a new prefix now and then fails: it gets a second try.
        import_start || { wait_wine "$prefix"; import_start; } || fail "$name: Wine does not import start.reg: $(tail -n 3 "$prefix/import.out")"
        wait_wine "$prefix"
        declare "${side}_prefix=$prefix"
    done
    # The status and a dry run first: they tell the same and leave the registry as it was.
    for mode in -status '-install --dry-run --detailed-exitcodes' -install -uninstall; do
        on_linux=$(outcome "$linux_prefix" "$product" "$linux" $mode -quiet)
        on_windows=$(outcome "$windows_prefix" "$product" wine "$exe" $mode -quiet)
        [ "$on_linux" = "$on_windows" ] || fail "$arch $name $mode: the programs differ: $(diff <(echo "$on_linux") <(echo "$on_windows"))"
        [ "$mode" = -status ] && registry_before=$(sed -n '/^REGEDIT4\|^Windows Registry/,$p' <<<"$on_windows")
        [ "$mode" != -install ] || [ "$(sed -n '/^REGEDIT4\|^Windows Registry/,$p' <<<"$dry_run")" = "$registry_before" ] \
            || fail "$arch $name: the dry run changed the registry"
        dry_run=$on_windows
        [ "$arch$name$mode" = win32kit-install ] && installed=$on_windows
        [ "$name$mode" = typed-uninstall ] && typed=$on_windows
        echo "$arch $name $mode: $(head -n 2 <<<"$on_linux" | tr '\n' ' ')"
        [[ "$mode" != *--dry-run* ]] || [[ "$on_windows" == *"would "* ]] || [ "$name" = tools15 ] || [ "$name" = renumber ] || [ "$name" = typed ] \
            || fail "$arch $name: the dry run lists no change"
    done
done
expected=('status 0' '"NumTools"=dword:00000010' '"PathName#14"="D:\\kit\\rt\\bin\\intel\\win32\\tindview.exe"' '"ACTIVATION"=hex:00'
    '"Path Dirs"="D:\\kit\\rt\\targets\\cvisual6\\cmd;D:\\kit\\rt\\bin\\intel\\win32;D:\\kit\\Common;C:\\VC98;C:\\WINDOWS"')
[ "$(grep -cxF -f <(printf '%s\n' "${expected[@]}") <<<"$installed")" -eq ${#expected[@]} ] || fail "after the install Wine does not read: ${expected[*]}"

# Uninstalling took out the product's entries and moved the user's, each value as it was.
expected=('"PathName#0"="C:\\Old\\bin\\tindview.exe"' '"PathName#1"="C:\\late.exe"' '"NumTools"=dword:00000002'
    '"DefaultArguments#1"=hex(7):6f,00,6e,00,65,00,00,00,74,00,77,00,6f,00,00,00,00,\'
    '"InitialDirectory#1"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00' '"MenuName#1"=hex:00,ff,10' '"GUITool#1"="1"')
[ "$(grep -cxF -f <(printf '%s\n' "${expected[@]}") <<<"$typed")" -eq ${#expected[@]} ] || fail "after the uninstall Wine does not read: ${expected[*]}; it reads: $(grep -F '#1"' <<<"$typed")"

# A product path beyond ASCII goes into the registry as winepath names it under the locale.
prefix=$linux_prefix cafe=$linux_prefix/drive_c/Café
mkdir -p "$cafe/lib/locale"
windows_form=$(LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 WINEPREFIX=$prefix winepath -w "$cafe" 2>/dev/null | tr -d '\r')
wait_wine "$prefix"
LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 outcome "$prefix" "$cafe" "$linux" -install -quiet \
    | grep -qxF "\"PathName#2\"=\"${windows_form//\\/\\\\}\\\\bin\\\\intel\\\\win32\\\\tindview.exe\"" \
    || fail "the viewer's path is not $windows_form\\bin\\intel\\win32\\tindview.exe, as winepath names it"

# The last row's prefix, uninstalled: its menu has room, so no box comes before the window.
prefix=$windows_prefix
cp "$german" "$prefix/drive_c/Tindral/lib/locale/"
grep -qF "Warning: Fatal Error: directory doesn't exist" <<<"$(outcome "$prefix" 'C:\Missing' wine "$exe" -install -quiet)" \
    || fail "no warning for a missing catalogue directory"
LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 outcome "$prefix" 'C:\Tindral' wine "$exe" -uninstall -quiet \
    | grep -qxF 'Corvessa Brackwater Tindral: Optionen sind nicht installiert' || fail "not in German"
export WINEPREFIX=$prefix TINDRALDIR='C:\Tindral'
cd "$prefix/drive_c" && check_window 'Tindral for VisualC\+\+ 6\.0 Installation' "$screenshot" wine "$exe" -install
finish "The Windows program under Wine agrees with the Linux program and shows its window"
