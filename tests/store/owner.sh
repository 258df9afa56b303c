#!/bin/bash
# Root runs on a prefix that belongs to another user ("nobody"): the run is that
# user's, leaves no file of root's behind and keeps user.reg's owner, group and
# mode; it writes through no link to a file the owner could not write, and
# refuses a user.reg that is not a regular file at once. Another user's run on
# the prefix is refused, as Wine refuses it; a wineserver of the owner's refuses
# root's run with advice that names the owner.
#   owner.sh IDEWEAVE SAMPLE_PREFIX
set -eu
. "$(dirname "$0")/../wine/lib.sh"
ideweave=$1 sample=$2
[ "$(id -u)" -eq 0 ] || skip "runs as root only"
work=$(mktemp -d /tmp/ideweave-owner.XXXXXX)
# The server folder a run made for the prefix, as Debian's Wine names it, goes with the prefix.
forget_server() { [ ! -f "$work/prefix/wineserver" ] || rm -rf "${TMPDIR:-/tmp}/$(cat "$work/prefix/wineserver")"; }
as_nobody() { runuser -u nobody -- env WINEPREFIX="$work/prefix" WINEDEBUG=-all "$@"; }
stop_wine() { # the servers of nobody's, under /tmp and under nobody's own TMPDIR
    [ -d "$work/prefix" ] && command -v wineserver >/dev/null || return 0
    as_nobody sh -c 'wineserver -k 2>/dev/null; wineserver -w'
    [ ! -d "$work/nobodys-tmp" ] || as_nobody env TMPDIR="$work/nobodys-tmp" sh -c 'wineserver -k 2>/dev/null; wineserver -w'
}
trap 'stop_wine; forget_server; rm -rf "$work"' EXIT
chmod 755 "$work"
fresh_prefix() { # a copy of the sample, the user's, its hive in a mode of the user's choosing
    forget_server
    rm -rf "$work/prefix" && cp -a "$sample" "$work/prefix" && mkdir -p "$work/prefix/drive_c/Tindral/lib/locale"
    chown -R nobody: "$work/prefix" && chmod 640 "$work/prefix/user.reg"
}
run() { WINEPREFIX="$work/prefix" TINDRALDIR='C:\Tindral' timeout 30 "$@" -quiet 2>&1; }

fresh_prefix
[ "$(run "$ideweave" -install)" = "Corvessa Brackwater Tindral options installed" ] || fail "root's install"
[ "$(stat -c '%U %a' "$work/prefix/user.reg")" = "nobody 640" ] || fail "user.reg is now $(stat -c '%U %a' "$work/prefix/user.reg")"
[ -z "$(find "$work/prefix" ! -user nobody)" ] || fail "root's run left files of root's: $(find "$work/prefix" ! -user nobody)"
[ "$(run runuser -u nobody -- "$ideweave" -uninstall)" = "Corvessa Brackwater Tindral options uninstalled" ] || fail "the owner's uninstall"

fresh_prefix
cp "$sample/user.reg" "$work/victim" && ln -sf "$work/victim" "$work/prefix/user.reg"
run "$ideweave" -install >/dev/null && fail "root's install through a link to root's file succeeded"
cmp -s "$work/victim" "$sample/user.reg" || fail "root's file was changed through the link"
[ -z "$(find "$work" -maxdepth 1 -name 'victim?*')" ] || fail "files were made beside root's file"

fresh_prefix
rm "$work/prefix/user.reg" && mkfifo "$work/prefix/user.reg" && chown nobody: "$work/prefix/user.reg"
run "$ideweave" -install | grep -q "is not a regular file" || fail "a FIFO as user.reg is not refused at once"
# Nothing the user puts in the prefix can hold root's run: FIFOs end it at once, named, or are passed over.
for file in system.reg wineserver; do
    fresh_prefix
    rm -f "$work/prefix/$file" && runuser -u nobody -- mkfifo -m 0400 "$work/prefix/$file"
    out=$(run "$ideweave" -status) && status=0 || status=$?
    [ "$status" -ne 124 ] || fail "a FIFO as $file holds the run"
    [ "$file" != system.reg ] || { [ "$status" -eq 255 ] && grep -q "system.reg is not a regular file" <<<"$out"; } \
        || fail "a FIFO as system.reg is not refused by name: $status $out"
done
# A link of a third user's that leads to nobody's prefix is no way to nobody's registry.
fresh_prefix
ln -s "$work/prefix" "$work/daemons-prefix" && chown -h daemon "$work/daemons-prefix"
out=$(WINEPREFIX="$work/daemons-prefix" TINDRALDIR='C:\Tindral' timeout 30 "$ideweave" -install -quiet 2>&1) && status=0 || status=$?
[ "$status" -eq 255 ] && grep -q "through the link $work/daemons-prefix of daemon, but belongs to nobody" <<<"$out" \
    || fail "root's run through daemon's link to nobody's prefix: $status $out"
cmp -s "$work/prefix/user.reg" "$sample/user.reg" || fail "root's run through daemon's link changed nobody's user.reg"
# Wine runs a prefix only for its owner: another user's run is refused, however open the prefix.
fresh_prefix
chmod 777 "$work/prefix" && chmod 666 "$work/prefix/user.reg"
out=$(run runuser -u daemon -- "$ideweave" -install) && status=0 || status=$?
[ "$status" -eq 255 ] && grep -q "belongs to nobody" <<<"$out" || fail "another user's run on nobody's prefix: $status $out"
cmp -s "$work/prefix/user.reg" "$sample/user.reg" && [ "$(stat -c %U "$work/prefix/user.reg")" = nobody ] \
    || fail "another user's run changed nobody's user.reg"
# A wineserver of the owner's refuses root's run, and the advice names the owner.
if command -v wineserver >/dev/null; then
    fresh_prefix
    as_nobody wineserver -p
    out=$(run "$ideweave" -install) && status=0 || status=$?
    [ "$status" -eq 255 ] && grep -qF "run 'wineserver -k' as nobody" <<<"$out" || fail "root's run beside nobody's wineserver: $status $out"
    stop_wine
    cmp -s "$work/prefix/user.reg" "$sample/user.reg" || fail "root's run beside nobody's wineserver changed user.reg"
    # The same when nobody's Wine keeps its server under a TMPDIR of the session's that root's run does not have.
    fresh_prefix
    mkdir -m 700 "$work/nobodys-tmp" && chown nobody: "$work/nobodys-tmp"
    as_nobody env TMPDIR="$work/nobodys-tmp" wineserver -p
    out=$(env -u TMPDIR WINEPREFIX="$work/prefix" TINDRALDIR='C:\Tindral' timeout 30 "$ideweave" -install -quiet --detailed-exitcodes 2>&1) \
        && status=0 || status=$?
    [ "$status" -eq 255 ] && grep -qF "Wine is running for the prefix" <<<"$out" || fail "root's run beside nobody's wineserver under nobody's TMPDIR: $status $out"
    stop_wine
    cmp -s "$work/prefix/user.reg" "$sample/user.reg" || fail "root's run beside nobody's wineserver under nobody's TMPDIR changed user.reg"
fi
finish "root's runs on nobody's prefix are nobody's runs"
