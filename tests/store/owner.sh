#!/bin/bash
# Root runs on a prefix that belongs to another user (here "nobody"): the run is
# that user's, leaves no file of root's behind, keeps user.reg's owner, group and
# mode, writes through no link to a file the owner could not write, and refuses
# a user.reg that is not a regular file at once.
#   owner.sh IDEWEAVE SAMPLE_PREFIX
set -eu
ideweave=$1
sample=$2
[ "$(id -u)" -eq 0 ] || { echo "SKIPPED: runs as root only"; exit 77; }
owner=nobody
group=$(id -gn "$owner")
work=$(mktemp -d /tmp/ideweave-owner.XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A copy of the sample prefix, owned by the user, its hive in a mode of the user's choosing.
new_prefix() {
    rm -rf "$work/prefix"
    cp -a "$sample" "$work/prefix"
    mkdir -p "$work/prefix/drive_c/Tindral/lib/locale"
    chown -R "$owner:$group" "$work/prefix"
    chmod 640 "$work/prefix/user.reg"
}
ideweave_as() {  # USER ARGS...
    local user=$1
    shift
    if [ "$user" = root ]; then
        WINEPREFIX="$work/prefix" TINDRALDIR='C:\Tindral' timeout 30 "$ideweave" "$@"
    else
        WINEPREFIX="$work/prefix" TINDRALDIR='C:\Tindral' timeout 30 runuser -u "$user" -- "$ideweave" "$@"
    fi
}

new_prefix
out=$(ideweave_as root -install -quiet) || fail "root's install exited with $?"
[ "$out" = "Corvessa Brackwater Tindral options installed" ] || fail "root's install says: $out"
[ "$(stat -c '%U:%G %a' "$work/prefix/user.reg")" = "$owner:$group 640" ] \
    || fail "user.reg is now $(stat -c '%U:%G %a' "$work/prefix/user.reg")"
leftovers=$(find "$work/prefix" ! -user "$owner")
[ -z "$leftovers" ] || fail "root's run left files the owner does not own: $leftovers"
out=$(ideweave_as "$owner" -uninstall -quiet) || fail "the owner's uninstall after root's install exited with $?"
[ "$out" = "Corvessa Brackwater Tindral options uninstalled" ] || fail "the owner's uninstall says: $out"

# A user.reg that links to a file the owner cannot write: nothing is written there.
new_prefix
cp "$sample/user.reg" "$work/victim"  # a hive, so that only the permissions can stop the run
chmod 644 "$work/victim"
rm "$work/prefix/user.reg"
ln -s "$work/victim" "$work/prefix/user.reg"
status=0
ideweave_as root -install -quiet >/dev/null 2>&1 || status=$?
[ "$status" -ne 0 ] || fail "root's install through a link to root's file exited with 0"
cmp -s "$work/victim" "$sample/user.reg" || fail "root's file was changed through the link"
[ -z "$(find "$work" -maxdepth 1 -name 'victim?*')" ] || fail "files were created beside root's file"

# A FIFO as user.reg is refused at once, and nothing waits on it.
new_prefix
rm "$work/prefix/user.reg"
mkfifo "$work/prefix/user.reg"
chown "$owner:$group" "$work/prefix/user.reg"
status=0
err=$(ideweave_as root -install -quiet 2>&1 >/dev/null) || status=$?
[ "$status" -eq 255 ] || fail "a FIFO as user.reg: exit status $status"
grep -q "is not a regular file" <<<"$err" || fail "a FIFO as user.reg: $err"

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "root's runs on $owner's prefix are $owner's runs"
