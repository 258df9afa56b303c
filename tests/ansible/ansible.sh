#!/bin/bash
# The Ansible playbooks and their module on three local users, each with a copy
# of the sample prefix, over a local connection as root, the users listed in
# the inventory's host_vars: the first hook changes 3, the second none; check
# mode reports the change and leaves every user.reg byte for byte, and with
# --diff shows each value before and after; a German controller
# locale gives the same counts; a hook for another product directory converges
# in one run, and its check says what that run does; the unhook restores each
# prefix; every file keeps its owner; a prefix named with "$" is taken as
# named; a prefix that cannot be used fails for its user alone, and the others'
# changes still count; a play without users says so and fails.
#   ansible.sh IDEWEAVE SAMPLE_PREFIX GERMAN_QM PLAYBOOKS
set -eu
. "$(dirname "$0")/../wine/lib.sh"
ideweave=$1 sample=$2 german=$3 playbooks=$4
[ "$(id -u)" -eq 0 ] || skip "runs as root only"
command -v ansible-playbook >/dev/null || skip "Ansible is not installed"
work=$(mktemp -d /tmp/ideweave-ansible.XXXXXX)
chmod 755 "$work"
users=(ideweave-ansible-a ideweave-ansible-b ideweave-ansible-c)
cleanup() {
    for user in "${users[@]}"; do
        local prefix=$work/$user/.wine-vc6
        [ ! -f "$prefix/wineserver" ] || rm -rf "/tmp/$(cat "$prefix/wineserver")"
        ! id "$user" >/dev/null 2>&1 || userdel "$user"
    done
    rm -rf "$work"
}
trap cleanup EXIT
export ANSIBLE_LOCAL_TEMP=$work/ansible-local ANSIBLE_REMOTE_TEMP=$work/ansible-remote ANSIBLE_NOCOLOR=1 \
    ANSIBLE_CONFIG=$work/ansible.cfg ANSIBLE_RETRY_FILES_ENABLED=0 LANG=C.UTF-8 LC_ALL=C.UTF-8
unset TMPDIR
printf '[defaults]\n' >"$work/ansible.cfg"
echo "localhost ansible_connection=local ansible_python_interpreter=/usr/bin/python3" >"$work/hosts"
{
    echo "ideweave_program: $ideweave"
    echo "tindraldir: 'C:\\Tindral'"
    echo "ideweave_users:"
    for user in "${users[@]}"; do
        useradd -M -d "$work/$user" -s /usr/sbin/nologin "$user"
        mkdir -p "$work/$user"
        prefix=$work/$user/.wine-vc6
        # One prefix's name holds a "$", which nothing may expand: its lookalike stays untouched.
        if [ "$user" = "${users[2]}" ]; then prefix="$work/$user/.wine-vc6-\$HOME"; mkdir -p "$work/$user/.wine-vc6-$HOME"
            cp -a "$sample/." "$work/$user/.wine-vc6-$HOME"; fi
        cp -a "$sample" "$prefix"
        mkdir -p "$prefix/drive_c/Tindral/lib/locale" "$prefix/drive_c/Other/lib/locale"
        cp "$german" "$prefix/drive_c/Tindral/lib/locale/"
        chown -R "$user:" "$work/$user"
        cp "$prefix/user.reg" "$work/$user.before"
        ln -s "$prefix" "$work/$user.prefix"
        echo "  - {name: $user, prefix: '$prefix'}"
    done
} >"$work/users.yml"
# The users are the inventory's, where administrators keep them.
mkdir "$work/host_vars" && cp "$work/users.yml" "$work/host_vars/localhost.yml"
lookalike=$work/${users[2]}/.wine-vc6-$HOME

# play PLAYBOOK [OPTION...]: the play's count of changed tasks' items; its output is in $work/play.out.
play() {
    local playbook=$1
    shift
    ansible-playbook -i "$work/hosts" "$playbooks/$playbook" "$@" >"$work/play.out" 2>&1 \
        || { cat "$work/play.out" >&2; fail "ansible-playbook $playbook $* failed"; return; }
    grep -c '^changed: \[localhost\]' "$work/play.out" || true
}
same_hives() { for user in "${users[@]}"; do cmp -s "$work/$user.before" "$work/$user.prefix/user.reg" || return 1; done; }
statuses() { for user in "${users[@]}"; do # for the product directory $1, C:\Tindral without one
    WINEPREFIX=$(readlink "$work/$user.prefix") TINDRALDIR=${1:-'C:\Tindral'} "$ideweave" -status >/dev/null && echo -n 0 || echo -n $?
done; }

[ "$(play hook.yml --check --diff)" = 3 ] || fail "check mode with --diff does not report 3 changes"
same_hives || fail "check mode with --diff changed a user.reg"
for sign in - +; do
    grep -qE "^[$sign]HKEY_CURRENT_USER.Software.Microsoft.Devstudio.6.0.Tools \"NumTools\": dword:0000000" "$work/play.out" \
        || fail "--diff does not show the count of the Tools menu with '$sign': $(head -n 40 "$work/play.out")"
done
[ "$(play hook.yml -v)" = 3 ] || fail "the first hook does not change 3 prefixes"
[ "$(grep -c '"changes": \["set HKEY_CURRENT_USER' "$work/play.out")" = 3 ] || fail "a hook's changes are not listed: $(grep -m1 changes "$work/play.out")"
cmp -s "$sample/user.reg" "$lookalike/user.reg" || fail "the prefix named with \$HOME was expanded"
[ "$(statuses)" = 000 ] || fail "after the hook the prefixes' statuses are $(statuses), not 000"
[ "$(play hook.yml)" = 0 ] || fail "the second hook changes something"
[ "$(LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 play hook.yml)" = 0 ] || fail "under a German locale the second hook changes something"
# Hooked for C:\Tindral, hooked for C:\Other: unhooked and hooked again in one
# run, which check mode shows as it is: the old directory before, the new after.
[ "$(play hook.yml --check --diff -e 'tindraldir=C:\Other')" = 3 ] || fail "the check of a hook for C:\\Other does not report 3 changes"
[ "$(statuses)" = 000 ] || fail "the check of a hook for C:\\Other changed a prefix"
grep -q '^-.*"PathName#5": "C:\\\\Tindral\\\\bin' "$work/play.out" && grep -q '^+.*"PathName#5": "C:\\\\Other\\\\bin' "$work/play.out" \
    && grep -q '^+.*"Path Dirs": "C:\\\\Other' "$work/play.out" || fail "the check of a hook for C:\\Other does not show both steps: $(grep -E '^[-+]' "$work/play.out" | head -n 12)"
[ "$(play hook.yml -v -e 'tindraldir=C:\Other')" = 3 ] || fail "a hook for another product directory does not change 3 prefixes"
[ "$(grep -c '"converged": true' "$work/play.out")" = 3 ] || fail "the hook for C:\\Other does not say that it converged"
[ "$(statuses 'C:\Other')" = 000 ] || fail "after the hook for C:\\Other the statuses are $(statuses 'C:\Other'), not 000"
[ "$(play hook.yml -e 'tindraldir=C:\Other')" = 0 ] || fail "a second hook for C:\\Other changes something"
[ "$(LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 play unhook.yml --check)" = 3 ] || fail "check mode of the unhook does not report 3 changes"
[ "$(statuses 'C:\Other')" = 000 ] || fail "check mode of the unhook changed a prefix"
[ "$(play unhook.yml)" = 3 ] || fail "the unhook does not change 3 prefixes"
[ "$(statuses)" = 333 ] || fail "after the unhook the prefixes' statuses are $(statuses), not 333"
for user in "${users[@]}"; do
    grep '^"Path Dirs"=' "$work/$user.before" | cmp -s - <(grep '^"Path Dirs"=' "$work/$user.prefix/user.reg") \
        || fail "the unhook did not restore $user's search path"
    [ -z "$(find "$work/$user" ! -user "$user")" ] || fail "files in $user's home are no longer $user's: $(find "$work/$user" ! -user "$user")"
done
[ "$(play unhook.yml)" = 0 ] || fail "the second unhook changes something"
# A prefix that cannot be used fails its user's run alone, with ideweave's
# message; the others' changes count, in the recap too.
echo garbage >"$work/${users[2]}.prefix/user.reg"
ansible-playbook -i "$work/hosts" "$playbooks/hook.yml" >"$work/play.out" 2>&1 && fail "a broken prefix does not fail"
[ "$(grep -c '^changed: \[localhost\]' "$work/play.out")" = 2 ] && grep -q "^failed: \[localhost\] (item=${users[2]}" "$work/play.out" \
    && grep -q 'Cannot use the registry' "$work/play.out" && grep -qE '^localhost +: ok=[0-9]+ +changed=1 .*failed=1' "$work/play.out" \
    || fail "a broken prefix does not fail its user alone: $(tail -n 20 "$work/play.out")"
# A play that lists no user says so and fails.
ansible-playbook -i "$work/hosts" "$playbooks/hook.yml" -e '{"ideweave_users": []}' >"$work/play.out" 2>&1 && fail "a play without users succeeds"
grep -q "ideweave_users lists no user" "$work/play.out" || fail "a play without users does not say so: $(tail -n 5 "$work/play.out")"
# The module's documentation reads as Ansible reads it, and the playbooks pass ansible-lint.
ansible-doc -M "$playbooks/library" ideweave >/dev/null 2>"$work/doc.err" || fail "ansible-doc cannot read the module: $(cat "$work/doc.err")"
if command -v ansible-lint >/dev/null; then
    (cd "$playbooks" && HOME=$work ansible-lint --offline -q hook.yml unhook.yml tasks/ideweave.yml) >"$work/lint.out" 2>&1 \
        || fail "ansible-lint: $(cat "$work/lint.out")"
fi
finish "the playbooks hook and unhook three users' prefixes, report changes by exit status and keep check mode dry"
