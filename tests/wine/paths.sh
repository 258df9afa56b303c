#!/bin/bash
# Product paths as Wine sees them: the store's Windows and Unix forms of a table
# of paths agree with what winepath prints in the same prefix.
set -eu
. "$(dirname "$0")/lib.sh"
need_wine
regtool=$1
prefix=$(new_prefix "$2")
outside=$(mktemp -d /tmp/ideweave-paths.XXXXXX)
trap 'wineserver -k 2>/dev/null || true; wait_wine "$prefix"; rm -rf "$prefix" "$outside"' EXIT
export WINEPREFIX="$prefix"
mkdir -p "$prefix/drive_c/Tindral/lib/Locale" "$prefix/drive_c/Program Files/Tindral Kit" "$prefix/drive_c/Jörg"
mkdir -p "$outside/tdrive/sub" "$outside/plain"
ln -s "$prefix/drive_c/Tindral" "$outside/link-into-c"
ln -s "$outside/tdrive" "$prefix/dosdevices/t:"   # a drive added by hand
ln -s ../drive_c "$prefix/dosdevices/m:"          # a second drive on drive_c: C wins the tie
failures=0
checks=0
compare() {  # compare DIRECTION PATH
    local ours theirs
    ours=$("$regtool" "$1" "$2" 2>&1) || ours="(none: $ours)"
    if [ "$1" = windows-path ]; then theirs=$(wine winepath -w "$2" 2>/dev/null | tr -d '\r')
    else theirs=$(wine winepath -u "$2" 2>/dev/null | tr -d '\r'); fi
    checks=$((checks + 1))
    if [ "$ours" != "$theirs" ]; then
        echo "FAIL $1 '$2': ours '$ours', winepath '$theirs'"
        failures=$((failures + 1))
    fi
}
for path in "$prefix/drive_c/Tindral" "$prefix/drive_c/Tindral/" "$prefix/drive_c" "$prefix/drive_c/" \
            "$prefix/drive_c/Program Files/Tindral Kit" "$prefix/drive_c/Jörg" "$prefix/drive_c/Missing/x" \
            "$prefix/dosdevices/c:/Tindral" "$outside/link-into-c" "$outside/link-into-c/bin" \
            "$outside/tdrive" "$outside/tdrive/sub/" "$outside/plain" "/usr/share" "/"; do
    compare windows-path "$path"
done
for path in 'C:\Tindral' 'c:\tindral\LIB\locale' 'C:\TINDRAL\lib\locale\' 'C:\Program Files\tindral kit' \
            'T:\SUB' 'D:\nowhere\x' 'C:\' 'Z:\usr\share'; do
    compare unix-path "$path"
done
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
