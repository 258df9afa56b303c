#!/bin/bash
# The Windows program under Wine, through the real advapi32: one file that needs
# no DLL, with its version and zip; on a table of starting registries it says,
# exits and leaves what the Linux program says, exits and leaves, as Wine reads
# it; it speaks German under a German locale and shows its window.
#   windows.sh IDEWEAVE_EXE IDEWEAVE TEMPLATE GERMAN_QM SCREENSHOT VERSION
set -eu
. "$(dirname "$0")/lib.sh"
need_wine
exe=$1 linux=$2 template=$3 german=$4 screenshot=$5 version=$6
[ -f "$exe" ] || skip "no $exe: Qt for Windows could not be built from Debian's source (scripts/build-windows.sh says why)"
x86_64-w64-mingw32-objdump -p "$exe" | grep -iE 'DLL Name: (libstdc|libgcc|libwinpthread|qt6)' && fail "ideweave.exe needs a DLL beside it"
strings -el -n 3 "$exe" | grep -qx "$version" || fail "ideweave.exe carries no version $version"
zip=$(dirname "$exe")/ideweave-$version-win64.zip
[ "$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')" = "ideweave-$version-win64/README.txt ideweave-$version-win64/ideweave.exe " ] \
    || fail "the zip $zip does not hold the program and its README"
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

for row in 'kit D:\kit\rt' 'relative rt\' 'tools15 C:\Tindral' 'renumber C:\Tindral'; do
    name=${row%% *} product=${row#* }
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
    for mode in -install -uninstall; do
        on_linux=$(outcome "$linux_prefix" "$product" "$linux" $mode -quiet)
        on_windows=$(outcome "$windows_prefix" "$product" wine "$exe" $mode -quiet)
        [ "$on_linux" = "$on_windows" ] || fail "$name $mode: the programs differ: $(diff <(echo "$on_linux") <(echo "$on_windows"))"
        [ "$name$mode" = kit-install ] && installed=$on_windows
        echo "$name $mode: $(head -n 2 <<<"$on_linux" | tr '\n' ' ')"
    done
done
expected=('status 0' '"NumTools"=dword:00000010' '"PathName#14"="D:\\kit\\rt\\bin\\intel\\win32\\tindview.exe"' '"ACTIVATION"=hex:00'
    '"Path Dirs"="D:\\kit\\rt\\targets\\cvisual6\\cmd;D:\\kit\\rt\\bin\\intel\\win32;D:\\kit\\Common;C:\\VC98;C:\\WINDOWS"')
[ "$(grep -cxF -f <(printf '%s\n' "${expected[@]}") <<<"$installed")" -eq ${#expected[@]} ] || fail "after the install Wine does not read: ${expected[*]}"

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
