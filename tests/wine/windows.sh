#!/bin/bash
# The Windows program under Wine, through the real advapi32, in a prefix of the
# kind ARCH names: on a table of starting registries it says, exits and leaves
# what the Linux program says, exits and leaves, as Wine reads it, called
# directly or through its console twin ideweave.com; a user's entries and
# search path beyond the ANSI code page keep every character; it speaks German
# under a German locale and shows its window. The program is the 32-bit
# one that ships; where this host cannot run 32-bit programs, the same sources
# built for 64-bit Windows stand in for it in a 64-bit prefix.
#   windows.sh ARCH IDEWEAVE_EXE IDEWEAVE_EXE64 IDEWEAVE TEMPLATE GERMAN_QM SCREENSHOT
set -eu
. "$(dirname "$0")/lib.sh"
need_wine
arch=$1 exe=$2 exe64=$3 linux=$4 template=$5 german=$6 screenshot=$7
if [ -n "$IDEWEAVE_NO_32BIT" ]; then
    [ "$arch" = win64 ] || need_32bit
    exe=$exe64
    [ -f "$exe" ] || skip "no $exe, which stands in for the 32-bit program here ($IDEWEAVE_NO_32BIT); scripts/build-windows.sh x86_64 builds it"
fi
[ -f "$exe" ] || skip "no $exe: Qt for Windows could not be built from Debian's source (scripts/build-windows.sh says why)"
com=${exe%.exe}.com
[ -f "$com" ] || fail "no $com beside $exe"
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
        typed) # a lookalike of the user's before the product's entries, and a user's entry of other types behind them
            echo '"Path Dirs"="C:\\Tindral\\targets\\cvisual6\\cmd;C:\\Tindral\\bin\\intel\\win32;C:\\Common;C:\\VC98"'
            printf '%s\n"ACTIVATION"=hex:00\n"Restore Path"="C:\\\\VC98"\n' "$options"
            menu 'C:\Old\bin\tindview.exe' 'C:\Tindral\bin\intel\win32\tindview.exe' 'C:\Tindral\bin\intel\win32\tindopts.exe' 'C:\late.exe'
            printf '"%s"=%s\n' 'DefaultArguments#3' 'hex(7):6f,6e,65,00,74,77,6f,00,00' 'InitialDirectory#3' 'hex(2):25,54,45,4d,50,25,00' \
                'MenuName#3' 'hex:00,ff,10' 'GUITool#3' '"1"' ;;
        cyrillic) # installed, with a user's entry behind the product's and a search path beyond code page 1252
            echo '"Path Dirs"="C:\\Tindral\\targets\\cvisual6\\cmd;C:\\Tindral\\bin\\intel\\win32;C:\\Common;C:\\Инструменты;C:\\VC98"'
            printf '%s\n"ACTIVATION"=hex:00\n"Restore Path"="C:\\\\Инструменты;C:\\\\VC98"\n' "$options"
            menu 'C:\Tindral\bin\intel\win32\tindview.exe' 'C:\Tindral\bin\intel\win32\tindopts.exe' 'C:\Инструменты\dbg.exe'
            echo '"MenuName#2"="Отладчик"' ;;
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

rows=('kit D:\kit\rt' 'relative rt\' 'typed C:\Tindral' 'cyrillic C:\Tindral')
# Beside the 32-bit prefix, a 64-bit one adds only what WoW64 may change: values of every type, text beyond the code page.
[ "$arch" = win32 ] || [ -n "$IDEWEAVE_NO_32BIT" ] || rows=('typed C:\Tindral' 'cyrillic C:\Tindral')
for row in "${rows[@]}"; do
    name=${row%% *} product=${row#* }
    # The first rows call the program, the others its console twin, which must say and exit the same.
    windows_program=$com
    [ "$name" = kit ] || [ "$name" = relative ] && windows_program=$exe
    for side in linux windows; do
        new_prefix "$template"
        mkdir -p "$prefix/drive_d" "$prefix/drive_d/kit/rt/lib/locale" "$prefix/drive_c/rt/lib/locale" "$prefix/drive_c/rt\\/lib/locale" \
            "$prefix/drive_c/Tindral/lib/locale"
        ln -s ../drive_d "$prefix/dosdevices/d:"
        # Text beyond the ANSI code page needs the Unicode form of a .reg file.
        if [ "$name" = cyrillic ]; then
            start_registry "$name" | sed '1s/.*/Windows Registry Editor Version 5.00/' | iconv -f UTF-8 -t UTF-16 >"$prefix/start.reg"
        else
            start_registry "$name" >"$prefix/start.reg"
        fi
        # A first start of Wine in a new prefix now and then fails: it gets a second try.
        import_start || { wait_wine "$prefix"; import_start; } || fail "$name: Wine does not import start.reg: $(tail -n 3 "$prefix/import.out")"
        wait_wine "$prefix"
        declare "${side}_prefix=$prefix"
    done
    # The status and a dry run first, then the changes, each followed by the registry as Wine reads it. The
    # install names the product by option only; the uninstall appends to a log.
    for mode in -status '-install --dry-run --detailed-exitcodes' "-install --tindraldir $product" '-uninstall --log C:\ideweave.log'; do
        given=$product
        [[ "$mode" != *--tindraldir* ]] || given='C:\Missing'
        on_linux=$(outcome "$linux_prefix" "$given" "$linux" $mode -quiet)
        on_windows=$(outcome "$windows_prefix" "$given" wine "$windows_program" $mode -quiet)
        [ "$on_linux" = "$on_windows" ] || fail "$arch $name $mode: the programs differ: $(diff <(echo "$on_linux") <(echo "$on_windows"))"
        echo "$arch $name $mode: $(head -n 2 <<<"$on_linux" | tr '\n' ' ')"
    done
    # Both logs hold the same record, but for the time, the user and the registry's name.
    logged() { grep -v '^[0-9]\|^user: \|^registry: ' "$1" | tr -d '\r'; }
    [ "$(logged "$linux_prefix/drive_c/C:\ideweave.log")" = "$(logged "$windows_prefix/drive_c/ideweave.log")" ] \
        || fail "$arch $name: the logs differ: $(diff <(logged "$linux_prefix/drive_c/C:\ideweave.log") <(logged "$windows_prefix/drive_c/ideweave.log"))"
    logged "$windows_prefix/drive_c/ideweave.log" | grep -qx 'mode: uninstall' || fail "$arch $name: the log has no record of the uninstall"
done
# An install puts the product's directories in front of a search path beyond code page 1252, keeping it as it is.
on_linux=$(outcome "$linux_prefix" 'C:\Tindral' "$linux" -install -quiet)
on_windows=$(outcome "$windows_prefix" 'C:\Tindral' wine "$exe" -install -quiet)
[ "$on_linux" = "$on_windows" ] || fail "$arch cyrillic reinstall: the programs differ: $(diff <(echo "$on_linux") <(echo "$on_windows"))"
# Both prefixes uninstalled again, as the checks below want them.
outcome "$linux_prefix" 'C:\Tindral' "$linux" -uninstall -quiet >/dev/null
outcome "$windows_prefix" 'C:\Tindral' wine "$exe" -uninstall -quiet >/dev/null

# A product path beyond ASCII goes into the registry as winepath names it under the locale.
prefix=$linux_prefix cafe=$linux_prefix/drive_c/Café
mkdir -p "$cafe/lib/locale"
windows_form=$(LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 WINEPREFIX=$prefix winepath -w "$cafe" 2>/dev/null | tr -d '\r')
wait_wine "$prefix"
LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 outcome "$prefix" "$cafe" "$linux" -install -quiet \
    | grep -F "\"=\"${windows_form//\\/\\\\}\\\\bin\\\\intel\\\\win32\\\\tindview.exe\"" | grep -q '^"PathName#' \
    || fail "the viewer's path is not $windows_form\\bin\\intel\\win32\\tindview.exe, as winepath names it"

# The last row's prefix, uninstalled: its menu has room, so no box comes before the window.
prefix=$windows_prefix
cp "$german" "$prefix/drive_c/Tindral/lib/locale/"
missing=$(outcome "$prefix" 'C:\Missing' wine "$com" -install -quiet)
grep -qF "Warning: Fatal Error: directory doesn't exist" <<<"$missing" && grep -qx 'status 255' <<<"$missing" \
    || fail "no warning and status 255 from the console twin for a missing catalogue directory: $missing"
# Developer Studio running in the session would save its menu over a change when it
# closes: a stand-in MSDEV.EXE makes an install change nothing and say what to do;
# the status and a dry run say it and still answer.
compiler=x86_64-w64-mingw32-gcc
[ "$arch" = win64 ] || compiler=i686-w64-mingw32-gcc
printf '#include <windows.h>\nint main(void) { Sleep(600000); return 0; }\n' | $compiler -x c -o "$prefix/drive_c/MSDEV.EXE" -
(cd "$prefix/drive_c" && WINEPREFIX=$prefix wine MSDEV.EXE) &
studio=$!
# While it runs, Wine's server stays: nothing here waits for it.
beside_studio() {
    local status=0
    (cd "$prefix/drive_c" && WINEPREFIX=$prefix TINDRALDIR='C:\Tindral' wine "$@" >"$prefix/studio.out" 2>&1) || status=$?
    tr -d '\r' <"$prefix/studio.out"
    return $status
}
tools_key() { beside_studio reg export 'HKCU\Software\Microsoft\Devstudio' 'C:\tools.reg' /y >/dev/null && iconv -f UTF-16LE -t UTF-8 "$prefix/drive_c/tools.reg"; }
running='ideweave: Developer Studio (MSDEV.EXE) is running and would undo the change when it closes: close Developer Studio, then run again'
for _ in $(seq 60); do
    status_out=$(beside_studio "$exe" -status) || true
    grep -qxF "$running" <<<"$status_out" && break
    sleep 0.5
done
grep -qxF "$running" <<<"$status_out" || fail "-status does not say that Developer Studio runs: $status_out"
grep -qx 'state: .*' <<<"$status_out" || fail "-status does not answer while Developer Studio runs: $status_out"
dry_run=$(beside_studio "$exe" -install --dry-run -quiet) || true
grep -qxF "$running" <<<"$dry_run" && grep -qxF 'Corvessa Brackwater Tindral options would be installed' <<<"$dry_run" \
    || fail "a dry run beside Developer Studio does not say it and answer: $dry_run"
before=$(tools_key)
refused=$(beside_studio "$exe" -install -quiet) && status=0 || status=$?
[ "$status" -eq 75 ] && grep -qF "Warning: ${running#ideweave: }" <<<"$refused" \
    || fail "an install beside Developer Studio is not refused with 75 (try again later): $status $refused"
[ "$(tools_key)" = "$before" ] || fail "an install beside Developer Studio changed Developer Studio's keys"
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
wait $studio 2>/dev/null || true
# In German; the arguments as Windows gives them, beyond the ANSI code page, and the log's folder made.
LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 outcome "$prefix" 'C:\Tindral' wine "$exe" -uninstall -quiet --log 'C:\Журнал\ideweave.log' \
    | grep -qxF 'Corvessa Brackwater Tindral: Optionen sind nicht installiert' || fail "not in German"
tr -d '\r' <"$prefix/drive_c/Журнал/ideweave.log" | grep -qxF 'command line: -uninstall -quiet --log C:\Журнал\ideweave.log' \
    || fail "no log in C:\Журнал that names the command line as given"
export WINEPREFIX=$prefix TINDRALDIR='C:\Tindral'
cd "$prefix/drive_c" && check_window 'Tindral for VisualC\+\+ 6\.0 Installation' "$screenshot" wine "$exe" -install
finish "The Windows program under Wine agrees with the Linux program and shows its window"
