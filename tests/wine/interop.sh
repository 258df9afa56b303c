#!/bin/bash
# Wine reads what the store writes, and the store reads what Wine writes.
set -eu
. "$(dirname "$0")/lib.sh"
regtool=$1
use_new_prefix "$2"
export LANG=C.UTF-8
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
key='Software\Ideweave Interop'

# Written by the store, read by Wine (exported as a .reg file, UTF-16).
"$regtool" set "$key" 'MenuName#0 (x86)' sz 'Café € \ "q"'
"$regtool" set "$key" 'Empty' sz ''
"$regtool" set "$key" 'NumTools' dword 4294967295
"$regtool" set "$key" 'Marker' binary 00ff10
"$regtool" set "$key" 'Search' expand '%PATH%'
"$regtool" set "$key" 'List' multi 'a|b'
wine reg export "HKCU\\$key" "$prefix/out.reg" /y >/dev/null
wait_wine "$prefix"
exported=$(iconv -f UTF-16LE -t UTF-8 "$prefix/out.reg" | tr -d '\r')
expect_line() { grep -qxF -- "$1" <<<"$exported" || fail "Wine does not see: $1"; }
expect_line '"MenuName#0 (x86)"="Café € \\ \"q\""'
expect_line '"Empty"=""'
expect_line '"NumTools"=dword:ffffffff'
expect_line '"Marker"=hex:00,ff,10'
expect_line '"Search"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,00,00'
expect_line '"List"=hex(7):61,00,00,00,62,00,00,00,00,00'

# Written by Wine, read by the store.
wine reg add "HKCU\\$key\\From Wine" /v 'Name #1 (é)' /t REG_SZ /d 'Grüße €' /f >/dev/null
wine reg add "HKCU\\$key\\From Wine" /v 'Count' /t REG_DWORD /d 7 /f >/dev/null
wine reg add "HKCU\\$key\\From Wine" /v 'Bytes' /t REG_BINARY /d 0102ff /f >/dev/null
wine reg add "HKCU\\$key\\From Wine" /v 'Empty' /t REG_SZ /d '' /f >/dev/null
wait_wine "$prefix"
expect_value() {
    local got
    got=$("$regtool" get "$key\\From Wine" "$1") || { fail "the store cannot read $1"; return; }
    [ "$got" = "$2" ] || fail "$1: got '$got', expected '$2'"
}
expect_value 'NAME #1 (É)' "1 $(printf 'Grüße €' | od -An -tx1 | tr -d ' \n')00"
expect_value 'Count' '4 07000000'
expect_value 'Bytes' '3 0102ff'
expect_value 'Empty' '1 00'

# A value on HKEY_CURRENT_USER itself: Wine writes its root key as "[]"; the
# store reads it, keeps it, and a store write there is what Wine reads next.
wine reg add HKCU /v 'Ideweave root' /t REG_SZ /d 'from Wine' /f >/dev/null
wait_wine "$prefix"
grep -q '^\[\] [0-9]' "$prefix/user.reg" || fail "Wine wrote no root key section"
expect_root() {
    local got
    got=$("$regtool" get '' "$1") || { fail "the store cannot read the root value $1"; return; }
    [ "$got" = "$2" ] || fail "root value $1: got '$got', expected '$2'"
}
expect_root 'Ideweave root' "1 $(printf 'from Wine' | od -An -tx1 | tr -d ' \n')00"
"$regtool" set '' 'Ideweave root 2' sz 'from the store'
wine reg query HKCU /v 'Ideweave root 2' | tr -d '\r' | grep -q 'REG_SZ *from the store$' \
    || fail "Wine does not read the root value the store wrote"
wine reg query HKCU /v 'Ideweave root' | tr -d '\r' | grep -q 'REG_SZ *from Wine$' \
    || fail "Wine lost its own root value after the store's save"
wait_wine "$prefix"

# New keys go where Wine puts them: after Wine's next save the keys stand in
# the order in which the store wrote them ("_" and "[" sort before letters).
"$regtool" set 'Software\_Ideweave order' v sz x
"$regtool" set 'Software\[Ideweave order' v sz x
"$regtool" set 'Software\Ideweave Order\Sub' v sz x
headers() { grep '^\[' "$prefix/user.reg" | sed -E 's/\] [0-9]+$/]/'; }
ours=$(headers)
wine reg add 'HKCU\Software\_Ideweave order' /v v /d y /f >/dev/null  # an existing key: Wine adds none
wait_wine "$prefix"
[ "$(headers)" = "$ours" ] || fail "Wine orders the keys otherwise: $(diff <(echo "$ours") <(headers) | head -n 10)"

if [ "$failures" -ne 0 ]; then
    echo "$failures passed checks failed"
    exit 1
fi
echo "Wine and the store agree"
