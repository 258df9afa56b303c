#!/bin/bash
# End to end under Wine: a prefix with a Developer Studio registry made by Wine's
# own reg tool, ideweave run on it, and a Developer Studio stand-in under Wine
# reading the Tools menu and the search path before, between and after.
set -eu
. "$(dirname "$0")/lib.sh"
ideweave=$1
standin=$2
[ -f "$standin" ] || skip "no Windows build of the Developer Studio stand-in (mingw-w64 missing)"
use_new_prefix "$3"
export LANG=C
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

tools='HKCU\Software\Microsoft\Devstudio\6.0\Tools'
add() { wine reg add "$tools" /v "$1" /t "$2" /d "$3" /f >/dev/null; }
for i in 0 1 2; do
    add "MenuName#$i" REG_SZ "User tool $i"
    add "DefaultArguments#$i" REG_SZ "\$(FileName) -$i"
    add "InitialDirectory#$i" REG_SZ '$(WkspDir)'
    for flag in AskArgument GUITool OutputRedirect CloseWindow UseSearchPath VisibleOnMenu ReloadNoPrompt; do
        add "$flag#$i" REG_DWORD $((i + 1))
    done
    add "PathName#$i" REG_SZ "C:\\Tools\\tool$i.exe"
done
add NumTools REG_DWORD 3
wine reg add 'HKCU\Software\Microsoft\Devstudio\6.0\Build System\Components\Platforms\Win32 (x86)\Directories' \
    /v 'Path Dirs' /t REG_SZ /d 'C:\VC98\BIN;C:\windows\system32' /f >/dev/null
wait_wine "$prefix"

product="$prefix/drive_c/Tindral"
mkdir -p "$product/lib/locale" "$product/bin/intel/win32"
touch "$product/bin/intel/win32/tindview.exe" "$product/bin/intel/win32/tindopts.exe"
export TINDRALDIR="$product"

# The Tools menu and the search path; the product's own key is left out.
read_menu() { wine "$standin" | tr -d '\r' | grep -v -E '^(ACTIVATION|Restore Path|no product key)'; wait_wine "$prefix"; }
before=$(read_menu)
grep -q '^NumTools 3$' <<<"$before" || fail "the stand-in does not see the user's menu: $before"

"$ideweave" -install -quiet >/dev/null || fail "ideweave -install exited with $?"
installed=$(read_menu)
grep -q '^NumTools 5$' <<<"$installed" || fail "NumTools after install is not 5"
[ "$(grep -E '#[012] ' <<<"$installed")" = "$(grep -E '#[012] ' <<<"$before")" ] || fail "the user's entries changed"
expect() { grep -qxF -- "$1" <<<"$installed" || fail "the stand-in does not see: $1"; }
expect 'MenuName#3 REG_SZ "Corvessa Brackwater Tindral Viewer" (35 bytes)'
expect 'PathName#3 REG_SZ "C:\Tindral\bin\intel\win32\tindview.exe" (40 bytes)'
expect 'DefaultArguments#4 REG_SZ "" (1 bytes)'
expect 'GUITool#4 REG_DWORD 1'
expect 'PathName#4 REG_SZ "C:\Tindral\bin\intel\win32\tindopts.exe" (40 bytes)'
grep -q '^Path Dirs REG_SZ "C:\\Tindral\\targets\\cvisual6\\cmd;C:\\Tindral\\bin\\intel\\win32;C:\\Common;C:\\VC98\\BIN;C:\\windows\\system32"' <<<"$installed" \
    || fail "Path Dirs does not begin with the product's directories: $(grep '^Path Dirs' <<<"$installed")"
# The programs the entries name exist where Wine looks for them.
for program in tindview tindopts; do
    unix=$(wine winepath -u "C:\\Tindral\\bin\\intel\\win32\\$program.exe" | tr -d '\r')
    [ -f "$unix" ] || fail "$program.exe is not where its PathName points ($unix)"
done
wait_wine "$prefix"

"$ideweave" -uninstall -quiet >/dev/null || fail "ideweave -uninstall exited with $?"
after=$(read_menu)
[ "$after" = "$before" ] || fail "the menu and search path after uninstall differ: $(diff <(echo "$before") <(echo "$after"))"

# Installed again; then the user adds an entry with long values behind the
# product's and a directory to the search path, through Wine. Uninstall moves the
# entry down whole and keeps the directory.
"$ideweave" -install -quiet >/dev/null || fail "the second ideweave -install exited with $?"
long_arguments=$(printf -- '-x%.0s' $(seq 150))
long_directory="C:\\$(printf 'd%.0s' $(seq 257))"
add 'MenuName#5' REG_SZ 'Late tool'
add 'DefaultArguments#5' REG_SZ "$long_arguments"
add 'InitialDirectory#5' REG_SZ "$long_directory"
for flag in AskArgument GUITool OutputRedirect CloseWindow UseSearchPath VisibleOnMenu ReloadNoPrompt; do
    add "$flag#5" REG_DWORD 7
done
add 'PathName#5' REG_SZ 'C:\Tools\late.exe'
add NumTools REG_DWORD 6
wine reg add 'HKCU\Software\Microsoft\Devstudio\6.0\Build System\Components\Platforms\Win32 (x86)\Directories' \
    /v 'Path Dirs' /t REG_SZ /d 'C:\Tindral\targets\cvisual6\cmd;C:\Tindral\bin\intel\win32;C:\Common;C:\VC98\BIN;C:\windows\system32;C:\MyLib\bin' /f >/dev/null
wait_wine "$prefix"
"$ideweave" -uninstall -quiet >/dev/null || fail "the second ideweave -uninstall exited with $?"
edited=$(read_menu)
see() { grep -qxF -- "$1" <<<"$edited" || fail "after the second uninstall the stand-in does not see: $1"; }
see 'NumTools 4'
see "DefaultArguments#3 REG_SZ \"$long_arguments\" (301 bytes)"
see "InitialDirectory#3 REG_SZ \"$long_directory\" (261 bytes)"
see 'ReloadNoPrompt#3 REG_DWORD 7'
see 'PathName#3 REG_SZ "C:\Tools\late.exe" (18 bytes)'
see 'Path Dirs REG_SZ "C:\VC98\BIN;C:\windows\system32;C:\MyLib\bin" (45 bytes)'
[ "$(grep -E '#[012] ' <<<"$edited")" = "$(grep -E '#[012] ' <<<"$before")" ] || fail "the user's first entries changed"

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "Developer Studio under Wine sees what ideweave wrote, and the menu as it was after uninstall"
