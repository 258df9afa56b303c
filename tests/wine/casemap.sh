#!/bin/bash
# Key names that Wine takes as one are exactly those that the store takes as
# one, over the whole Basic Multilingual Plane: Wine loads a hive with a key for
# every character, merges the keys it takes as the same (the merged key holds
# both values) and saves it; the pairs it merged must be the store's pairs.
set -eu
. "$(dirname "$0")/lib.sh"
regtool=$1
use_new_prefix "$2"
export LANG=C.UTF-8
"$regtool" casemap-sections >>"$prefix/user.reg"
# Three sibling keys that only Turkish letters tell apart; Wine keeps all three.
for name in 'DİL' 'DıL' 'DIL'; do
    wine reg add "HKCU\\Casemap\\$name" /v name /d "$name" /f >/dev/null
done
wait_wine "$prefix"
# Each merged key lists its values: two characters that Wine took as one.
awk '/^\[/ { if (n == 2) print pair[0], pair[1]; n = 0; next }
     match($0, /^"v[0-9a-f]+"=/) { pair[n++] = substr($0, 3, RLENGTH - 4) }
     END { if (n == 2) print pair[0], pair[1] }' "$prefix/user.reg" | sort >"$prefix/wine-pairs"
"$regtool" fold-pairs | sort >"$prefix/store-pairs"
[ "$(wc -l <"$prefix/wine-pairs")" -gt 1000 ] || { echo "FAIL: Wine merged only $(wc -l <"$prefix/wine-pairs") pairs"; exit 1; }
if ! diff "$prefix/wine-pairs" "$prefix/store-pairs" >"$prefix/diff"; then
    echo "FAIL: Wine and the store take different names as one (< Wine only, > the store only):"
    head -n 40 "$prefix/diff"
    exit 1
fi
# The store reads the hive that Wine saved, the three siblings each as itself.
for name in 'DİL' 'DıL' 'DIL'; do
    got=$("$regtool" get "Casemap\\$name" name) || { echo "FAIL: the store cannot read Casemap\\$name"; exit 1; }
    [ "$got" = "1 $(printf '%s' "$name" | od -An -tx1 | tr -d ' \n')00" ] || { echo "FAIL: Casemap\\$name holds $got"; exit 1; }
done
echo "Wine and the store take the same $(wc -l <"$prefix/wine-pairs") pairs of characters as one"
