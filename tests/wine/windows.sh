#!/bin/bash
# The Windows program under Wine, through the real advapi32 with Wine's registry
# server running, as on Windows: it installs and uninstalls, agrees with the
# Linux program on a table of starting registries, keeps the quiet statuses and
# records, speaks German under a German locale, and shows its window.
#   windows.sh IDEWEAVE_EXE IDEWEAVE STANDIN_EXE TEMPLATE GERMAN_QM SCREENSHOT VERSION
set -eu
. "$(dirname "$0")/lib.sh"
need_wine
exe=$1 linux=$2 standin=$3 template=$4 german=$5 screenshot=$6 version=$7
[ -f "$exe" ] || skip "no $exe: Qt for Windows could not be built from Debian's source (scripts/build-windows.sh says why)"
[ -f "$standin" ] || skip "no Windows build of the Developer Studio stand-in (mingw-w64 missing)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# One executable that needs no DLL beside it, with its version, and the zip that ships it.
for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}'); do
    case ${dll,,} in
        libstdc++*|libgcc*|libwinpthread*|qt6*) fail "ideweave.exe needs $dll beside it" ;;
    esac
done
strings -el -n 3 "$exe" | grep -qx "$version" || fail "ideweave.exe carries no version $version"
zip=$(dirname "$exe")/ideweave-$version-win64.zip
if unzip -l "$zip" >/dev/null 2>&1; then
    listed=$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')
    [ "$listed" = "ideweave-$version-win64/README.txt ideweave-$version-win64/ideweave.exe " ] || fail "the zip holds: $listed"
    unzip -p "$zip" "ideweave-$version-win64/ideweave.exe" | cmp -s - "$exe" || fail "the zip's ideweave.exe is not the one built"
    unzip -p "$zip" "ideweave-$version-win64/README.txt" | grep -q 'ideweave.exe -install' || fail "the zip's text does not say how to run it"
else
    fail "no $zip"
fi
prefixes=()
cleanup() {
    for p in "${prefixes[@]}"; do WINEPREFIX="$p" wineserver -k 2>/dev/null || true; rm -rf "$p"; done
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export LANG=C LC_ALL=C

# The starting registries, as .reg files that Wine's own reg tool imports.
tools='[HKEY_CURRENT_USER\Software\Microsoft\Devstudio\6.0\Tools]'
directories='[HKEY_CURRENT_USER\Software\Microsoft\Devstudio\6.0\Build System\Components\Platforms\Win32 (x86)\Directories]'
options='[HKEY_CURRENT_USER\SOFTWARE\Brackwater Software\Tindral\Options\Studio]'
reg_text() { sed 's/\\/\\\\/g'; }  # a .reg file's strings double their backslashes
number() { printf 'dword:%08x' "$1"; }
user_entry() {  # user_entry INDEX PROGRAM
    printf '"MenuName#%s"="User tool %s"\n"DefaultArguments#%s"="-n %s"\n"InitialDirectory#%s"="$(WkspDir)"\n' \
        "$1" "$1" "$1" "$1" "$1"
    for flag in AskArgument GUITool OutputRedirect CloseWindow UseSearchPath VisibleOnMenu ReloadNoPrompt; do
        printf '"%s#%s"=%s\n' "$flag" "$1" "$(number $(($1 % 3)))"
    done
    printf '"PathName#%s"="%s"\n' "$1" "$(reg_text <<<"$2")"
}
menu() {  # menu COUNT: a Tools menu of COUNT entries of the user's
    echo "$tools"
    for ((i = 0; i < $1; i++)); do user_entry "$i" "C:\\Tools\\tool$i.exe"; done
    printf '"NumTools"=%s\n' "$(number "$1")"
}
search_path() { printf '%s\n"Path Dirs"="%s"\n' "$directories" "$(reg_text <<<"$1")"; }
start_registry() {
    echo REGEDIT4
    case $1 in
        composition*) menu 2; search_path 'C:\VC98\BIN;C:\WINDOWS' ;;
        tools14) menu 14; search_path 'C:\VC98\BIN' ;;
        tools15) menu 15; search_path 'C:\VC98\BIN' ;;
        tools16) menu 16; search_path 'C:\VC98\BIN' ;;
        renumber)
            echo "$tools"
            user_entry 0 'C:\Tools\first.exe'
            user_entry 1 'C:\Tindral\bin\intel\win32\tindview.exe'
            user_entry 2 'C:\Tindral\bin\intel\win32\tindopts.exe'
            user_entry 3 'C:\Tools\late.exe'
            printf '"NumTools"=%s\n' "$(number 4)"
            search_path 'C:\Tindral\targets\cvisual6\cmd;C:\Tindral\bin\intel\win32;C:\Common;C:\VC98\BIN;C:\MyLib'
            printf '%s\n"ACTIVATION"=hex:00\n"Restore Path"="C:\\\\VC98\\\\BIN"\n' "$options" ;;
        marker25|marker26)
            menu 3; search_path 'C:\VC98\BIN'
            printf '%s\n"ACTIVATION"=hex:%s00\n' "$options" "$(printf '00,%.0s' $(seq $((${1#marker} - 1))))" ;;
    esac
}
import_registry() {  # PREFIX ROW
    start_registry "$2" >"$1/start.reg"
    WINEPREFIX="$1" wine reg import "$1/start.reg" >/dev/null 2>&1 || fail "$2: Wine does not import $1/start.reg"
}
product_of() {
    case $1 in
        composition-kit) echo 'D:\kit\rt' ;;
        composition-kit-slash) echo 'D:\kit\rt\' ;;
        composition-root) echo 'C:\rt' ;;
        composition-relative) echo 'rt' ;;
        composition-relative-slash) echo 'rt\' ;;
        *) echo 'C:\Tindral' ;;
    esac
}

# A prefix of the template whose drives hold every product directory of the table.
prepare_prefix() {
    local prefix
    prefix=$(new_prefix "$template")
    prefixes+=("$prefix")
    mkdir -p "$prefix/drive_d"
    ln -s ../drive_d "$prefix/dosdevices/d:"
    for dir in drive_d/kit/rt drive_c/rt 'drive_c/rt\' drive_c/Tindral; do
        mkdir -p "$prefix/$dir/lib/locale"
    done
    echo "$prefix"
}

# Runs a program in the prefix from drive C's root (relative product
# directories are taken from there); prints the status, then the program's
# output, then what the stand-in reads.
run_linux() {  # PREFIX PRODUCT ARGS...
    local prefix=$1 product=$2 status=0 out
    shift 2
    wait_wine "$prefix"
    out=$(cd "$prefix/drive_c" && WINEPREFIX="$prefix" TINDRALDIR="$product" "$linux" "$@" 2>&1) || status=$?
    printf 'status %s\n%s\n' "$status" "$out"
    WINEPREFIX="$prefix" wine "$standin" | tr -d '\r'
    wait_wine "$prefix"
}
run_windows() {  # PREFIX PRODUCT ARGS...
    local prefix=$1 product=$2 status=0 out
    shift 2
    out=$(cd "$prefix/drive_c" && WINEPREFIX="$prefix" TINDRALDIR="$product" wine "$exe" "$@" 2>&1) || status=$?
    printf 'status %s\n%s\n' "$status" "$(tr -d '\r' <<<"$out")"
    WINEPREFIX="$prefix" wine "$standin" | tr -d '\r'
}

# Both programs on each starting registry: install, then uninstall; what they
# say and the registries they leave must be the same.
for row in composition-kit composition-kit-slash composition-root composition-relative composition-relative-slash \
           tools14 tools15 tools16 renumber marker25 marker26; do
    product=$(product_of "$row")
    on_linux=$(prepare_prefix)
    on_windows=$(prepare_prefix)
    import_registry "$on_linux" "$row"
    # On Windows the registry server runs all along.
    WINEPREFIX="$on_windows" wineserver -p
    import_registry "$on_windows" "$row"
    for mode in -install -uninstall; do
        linux_run=$(run_linux "$on_linux" "$product" "$mode" -quiet)
        windows_run=$(run_windows "$on_windows" "$product" "$mode" -quiet)
        if [ "$linux_run" != "$windows_run" ]; then
            fail "$row, $mode: the programs differ:"$'\n'"$(diff <(echo "$linux_run") <(echo "$windows_run"))"
        fi
    done
    echo "$row: $(head -n 2 <<<"$linux_run" | tr '\n' ' ')"
    WINEPREFIX="$on_windows" wineserver -k
    rm -rf "$on_linux" "$on_windows"
done

# The install as Windows sees it, read through Wine.
prefix=$(prepare_prefix)
export WINEPREFIX=$prefix
wineserver -p
import_registry "$prefix" tools14
run=$(run_windows "$prefix" 'C:\Tindral' -install -quiet)
expect() { grep -qxF -- "$1" <<<"$run" || fail "after the install Wine does not read: $1"; }
expect 'status 0'
expect 'Corvessa Brackwater Tindral options installed'
expect 'NumTools 16'
expect 'PathName#14 REG_SZ "C:\Tindral\bin\intel\win32\tindview.exe" (40 bytes)'
expect 'PathName#15 REG_SZ "C:\Tindral\bin\intel\win32\tindopts.exe" (40 bytes)'
expect 'Path Dirs REG_SZ "C:\Tindral\targets\cvisual6\cmd;C:\Tindral\bin\intel\win32;C:\Common;C:\VC98\BIN" (81 bytes)'
expect 'ACTIVATION type 3, 1 bytes'

# Quiet statuses beyond the table: usage, and a catalogue directory that is missing.
run=$(run_windows "$prefix" 'C:\Tindral' -quiet)
grep -qx 'status 2' <<<"$run" || fail "usage: $(head -n 1 <<<"$run")"
grep -qxF 'Corvessa Brackwater Tindral options usage : ideweave.exe -install | -uninstall' <<<"$run" \
    || fail "no usage text: $run"
run=$(run_windows "$prefix" 'C:\Missing' -uninstall -quiet)
grep -qx 'status 255' <<<"$run" || fail "missing catalogue directory: $(head -n 1 <<<"$run")"
grep -q "^Warning: Fatal Error: directory doesn't exist 'C:.Missing.lib.locale'" <<<"$run" \
    || fail "missing catalogue directory, the warning: $run"

# German texts under a German locale.
cp "$german" "$prefix/drive_c/Tindral/lib/locale/ideweave_de.qm"
run=$(LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 run_windows "$prefix" 'C:\Tindral' -uninstall -quiet)
grep -qxF 'Corvessa Brackwater Tindral: Optionen deinstalliert' <<<"$run" || fail "not in German: $run"
wineserver -k
wait_wine "$prefix"

# The window, on a display.
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v import >/dev/null; then
    display=:$((200 + RANDOM % 100))
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=$display
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    (cd "$prefix/drive_c" && TINDRALDIR='C:\Tindral' LANG=C LC_ALL=C wine "$exe" -install) &
    program=$!
    window=
    for _ in $(seq 300); do
        window=$(xdotool search --onlyvisible --name '^Tindral for VisualC\+\+ 6\.0 Installation$' 2>/dev/null | head -n 1) \
            && [ -n "$window" ] && break
        sleep 0.1
    done
    if [ -z "$window" ]; then
        fail "no window titled 'Tindral for VisualC++ 6.0 Installation'"
        kill "$program" 2>/dev/null || true
    else
        sleep 1  # let it paint
        eval "$(xdotool getwindowgeometry --shell "$window")"
        echo "window ${WIDTH}x${HEIGHT} at $X,$Y"
        [ "$WIDTH" -ge 300 ] && [ "$HEIGHT" -ge 100 ] || fail "the window is ${WIDTH}x${HEIGHT}, smaller than 300x100"
        import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" "$screenshot" && echo "screenshot: $screenshot"
        xdotool windowactivate --sync "$window" key Return 2>/dev/null || xdotool key --window "$window" Return
        status=0
        for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
        if kill -0 "$program" 2>/dev/null; then
            fail "the program still runs after OK"
            kill "$program" 2>/dev/null || true
        else
            wait "$program" || status=$?
            [ "$status" -eq 0 ] || fail "exit status $status after OK"
        fi
    fi
    wineserver -k 2>/dev/null || true
else
    fail "Xvfb, xdotool or ImageMagick is missing: the window cannot be checked"
fi

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "The Windows program under Wine agrees with the Linux program and shows its window"
