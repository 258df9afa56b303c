#!/bin/bash
# Root runs on a prefix that belongs to another user ("nobody"): the run is that
# user's, leaves no file of root's behind and keeps user.reg's owner, group and
# mode; it writes through no link to a file the owner could not write, and
# refuses a user.reg that is not a regular file at once. Another user's run on
# the prefix is refused, as Wine refuses it; a wineserver of the owner's refuses
# root's run with advice that names the owner, even one whose server folder is
# gone, and a lock of another user's is none. Root's log follows no link; a full
# disk leaves no trace of a failed save and no cut record.
#   owner.sh IDEWEAVE SAMPLE_PREFIX
set -eu
. "$(dirname "$0")/../wine/lib.sh"
ideweave=$1 sample=$2
[ "$(id -u)" -eq 0 ] || skip "runs as root only"
work=$(mktemp -d /tmp/ideweave-owner.XXXXXX)
# The server folder a run made for the prefix, as Debian's Wine names it, goes with the prefix.
forget_server() { [ ! -f "$work/prefix/wineserver" ] || rm -rf "${TMPDIR:-/tmp}/$(cat "$work/prefix/wineserver")"; }
as_nobody() { runuser -u nobody -- env WINEPREFIX="$work/prefix" WINEDEBUG=-all "$@"; }
stop_wine() { # nobody's server
    [ -d "$work/prefix" ] && command -v wineserver >/dev/null || return 0
    as_nobody sh -c 'wineserver -k 2>/dev/null; wineserver -w'
}
locker=
stop_locker() { [ -z "$locker" ] || { pkill -u daemon -f fcntl.lockf || true; wait "$locker" 2>/dev/null || true; locker=; }; }
trap 'stop_locker; stop_wine; forget_server; umount "$work/full" 2>/dev/null || true; rm -rf "$work"' EXIT
chmod 755 "$work"
fresh_prefix() { # a copy of the sample, the user's, its hive in a mode of the user's choosing
    forget_server
    rm -rf "$work/prefix" && cp -a "$sample" "$work/prefix" && mkdir -p "$work/prefix/drive_c/Tindral/lib/locale"
    chown -R nobody: "$work/prefix" && chmod 640 "$work/prefix/user.reg"
}
run() { WINEPREFIX="$work/prefix" TINDRALDIR='C:\Tindral' timeout 30 "$@" -quiet 2>&1; }
# refused STATUS TEXT WHAT COMMAND...: the command ends with STATUS, says TEXT and leaves user.reg as the sample's.
refused() {
    local status=$1 text=$2 what=$3 out ended=0
    shift 3
    out=$("$@") || ended=$?
    [ "$ended" -eq "$status" ] && grep -qF -- "$text" <<<"$out" || fail "$what: $ended $out"
    cmp -s "$work/prefix/user.reg" "$sample/user.reg" || fail "$what changed user.reg"
}

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
refused 255 "through the link $work/daemons-prefix of daemon, but belongs to nobody" "root's run through daemon's link to nobody's prefix" \
    run env WINEPREFIX="$work/daemons-prefix" "$ideweave" -install
# Wine runs a prefix only for its owner: another user's run is refused, however open the prefix.
fresh_prefix
chmod 777 "$work/prefix" && chmod 666 "$work/prefix/user.reg"
refused 255 "belongs to nobody" "another user's run on nobody's prefix" run runuser -u daemon -- "$ideweave" -install
[ "$(stat -c %U "$work/prefix/user.reg")" = nobody ] || fail "another user's run took nobody's user.reg"
# Root's log is no way into a file root did not mean: a link that nobody planted
# is refused, and so is a file of nobody's; nothing is appended or created.
fresh_prefix
mkdir -m 777 "$work/logs" && install -m 600 /dev/null "$work/root-only" && mkdir -m 700 "$work/private"
runuser -u nobody -- ln -s "$work/root-only" "$work/logs/to-root.log"
runuser -u nobody -- ln -s "$work/private/new.log" "$work/logs/to-new.log"
runuser -u nobody -- touch "$work/logs/nobodys.log"
for log in to-root.log to-new.log nobodys.log; do
    refused 255 "Cannot append to the log '$work/logs/$log'" "root's log $log" run "$ideweave" -install --log "$work/logs/$log"
done
[ ! -s "$work/root-only" ] && [ ! -e "$work/private/new.log" ] && [ ! -s "$work/logs/nobodys.log" ] || fail "root's log went through a link"
# A lock that another user made where nobody's server would keep one is no server of nobody's.
fresh_prefix
fake=/tmp/.wine-$(id -u nobody)/server-$(stat -c '%D' "$work/prefix" | sed 's/^0*//')-$(printf '%x' "$(stat -c %i "$work/prefix")")
if [ ! -e "/tmp/.wine-$(id -u nobody)" ]; then
    runuser -u daemon -- mkdir -p -m 755 "$fake"
    runuser -u daemon -- python3 -c 'import fcntl, sys, time
f = open(sys.argv[1], "w"); fcntl.lockf(f, fcntl.LOCK_EX); print("locked", flush=True); time.sleep(120)' "$fake/lock" >"$work/locker.out" &
    locker=$!
    for _ in $(seq 50); do grep -q locked "$work/locker.out" 2>/dev/null && break; sleep 0.1; done
    [ "$(run "$ideweave" -install)" = "Corvessa Brackwater Tindral options installed" ] || fail "daemon's lock blocks root's run for nobody"
    stop_locker
    rm -rf "/tmp/.wine-$(id -u nobody)"
fi
# A wineserver of the owner's refuses root's run with advice that names the owner,
# also one whose server folder was deleted or renamed.
if command -v wineserver >/dev/null; then
    for folder_is in kept deleted renamed; do
        fresh_prefix
        as_nobody wineserver -p
        folder=$(find /tmp/wine-* -maxdepth 1 -user nobody -name 'server-*' 2>/dev/null | head -n1)
        [ -n "$folder" ] || fail "nobody's wineserver made no server folder"
        [ "$folder_is" != deleted ] || rm -rf "$folder"
        [ "$folder_is" != renamed ] || mv "$folder" "$folder.old"
        refused 75 "Wine is running for the prefix $work/prefix: close the programs running under Wine, or run 'wineserver -k' as nobody" \
            "a run beside nobody's wineserver, its folder $folder_is" run "$ideweave" -install
        pkill -u nobody -x wineserver64 || pkill -u nobody wineserver || true
        rm -rf "$folder.old"
    done
fi
# A full disk: the save fails and leaves nothing behind, a log record is never cut.
mkdir "$work/full"
if mount -t tmpfs -o size=512k tmpfs "$work/full" 2>/dev/null; then
    cp -a "$sample" "$work/full/prefix" && mkdir -p "$work/full/prefix/drive_c/Tindral/lib/locale" && rm -f "$work/full/prefix/wineserver"
    chown -R nobody: "$work/full/prefix"
    head -c 4000 /dev/zero | tr '\0' x >"$work/full/run.log"
    dd if=/dev/zero of="$work/full/filler" bs=4k 2>/dev/null || true
    out=$(WINEPREFIX="$work/full/prefix" TINDRALDIR='C:\Tindral' timeout 30 "$ideweave" -install -quiet --log "$work/full/run.log" 2>&1) \
        && status=0 || status=$?
    [ "$status" -ne 0 ] && grep -q "Cannot save the registry" <<<"$out" || fail "a save on a full disk: $status $out"
    [ ! -e "$work/full/prefix/wineserver" ] || fail "a failed save left the record of a server folder: $(ls -l "$work/full/prefix/wineserver")"
    [ "$(stat -c %s "$work/full/run.log")" -eq 4000 ] && grep -q "Cannot append to the log" <<<"$out" \
        || fail "a log on a full disk: $(stat -c %s "$work/full/run.log") bytes, $out"
    cmp -s "$work/full/prefix/user.reg" "$sample/user.reg" || fail "a save on a full disk changed user.reg"
    umount "$work/full"
fi
finish "root's runs on nobody's prefix are nobody's runs"
