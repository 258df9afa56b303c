#!/bin/bash
# ideweave refuses to edit the hive while a wineserver runs for the prefix (it
# would overwrite the edit), and installs once it has ended.
set -eu
. "$(dirname "$0")/lib.sh"
need_wine
ideweave=$1
prefix=$(new_prefix "$2")
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; wait_wine "$prefix"; rm -rf "$prefix"' EXIT
export WINEPREFIX="$prefix" TINDRALDIR="$prefix/drive_c/Tindral"
mkdir -p "$TINDRALDIR/lib/locale"
# An empty Tools menu, so that an install has somewhere to add its entries.
wine reg add 'HKCU\Software\Microsoft\Devstudio\6.0\Tools' /v NumTools /t REG_DWORD /d 0 /f >/dev/null
wait_wine "$prefix"
cp "$prefix/user.reg" "$prefix/user.reg.before"

wineserver -p
for _ in $(seq 50); do  # the server takes its lock as it starts
    ls /tmp/*/server-*/lock /tmp/.wine-*/server-*/lock >/dev/null 2>&1 && break
    sleep 0.1
done
sleep 0.5
status=0
err=$("$ideweave" -install -quiet 2>&1 >/dev/null) || status=$?
[ "$status" -eq 255 ] || { echo "FAIL: exit status $status with a running wineserver"; exit 1; }
grep -q "Wine is running for the prefix $prefix" <<<"$err" || { echo "FAIL: message: $err"; exit 1; }
cmp -s "$prefix/user.reg" "$prefix/user.reg.before" || { echo "FAIL: user.reg changed"; exit 1; }

wineserver -k
wait_wine "$prefix"
# The prefix has no search path: its box makes the status 1.
"$ideweave" -install -quiet 2>/dev/null | grep -q "options installed" || { echo "FAIL: no install after wineserver -k"; exit 1; }
grep -q '^"ACTIVATION"=hex:00$' "$prefix/user.reg" || { echo "FAIL: no marker"; exit 1; }
echo "refused while Wine ran, installed after"
