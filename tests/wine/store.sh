#!/bin/bash
# The store against Wine itself: the conformance program passes natively against
# the store and as a Windows program against the real advapi32, each in a prefix
# made by wineboot; Wine then reads the same keys from both prefixes, and the
# store finds each of the keys the Windows program made, one for every character
# a key name can hold, in the hive that Wine saved.
#   store.sh ARCH CONFORMANCE CONFORMANCE_EXE TEMPLATE
set -eu
. "$(dirname "$0")/lib.sh"
need_wine
[ "$1" = win64 ] || need_32bit
shift
[ -f "$2" ] || skip "no Windows build of the conformance program (mingw-w64 missing)"
exports=()
for program in "$1" "wine $2"; do
    new_prefix "$3"
    # LANG=C gives Wine the Windows-1252 code page that the Windows build's 8-bit texts use.
    LANG=C WINEPREFIX=$prefix $program >"$prefix/out.txt" || fail "$program: $(grep FAIL "$prefix/out.txt")"
    wait_wine "$prefix"
    WINEPREFIX=$prefix wine reg export 'HKCU\Software\Ideweave Conformance' "$prefix/export.reg" /y >/dev/null
    wait_wine "$prefix"
    exports+=("$prefix/export.reg")
done
WINEPREFIX=$prefix "$1" case-keys | tail -n 3 | grep -q ' 0 failed$' || fail "the store and Wine take other key names as one"
cmp -s "${exports[@]}" || fail "Wine reads other keys from the store's hive: $(diff <(iconv -f UTF-16LE -t UTF-8 "${exports[0]}") \
    <(iconv -f UTF-16LE -t UTF-8 "${exports[1]}"))"
finish "The store and advapi32 agree, and Wine reads what the store wrote"
