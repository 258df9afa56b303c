#!/bin/bash
# Sets everything up, builds ideweave, and runs it on the bundled sample: a Wine
# prefix whose user.reg holds a Developer Studio 6 registry (five Tools entries of
# the user's own and a search path), with the product installed in its drive C.
# Shows what -install changes in user.reg and that -uninstall takes it out again.
# Works on a copy in a temporary folder; the user's own ~/.wine is never touched.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build" -j"$(nproc)" --target ideweave >/dev/null

work=$(mktemp -d /tmp/ideweave-demo.XXXXXX)
cp -a "$root/sample/prefix" "$work/prefix"
export WINEPREFIX="$work/prefix"
export TINDRALDIR="$WINEPREFIX/drive_c/Tindral"
mkdir -p "$TINDRALDIR/lib/locale"
/usr/lib/qt6/bin/lrelease -silent "$root/sample/catalogues/ideweave_de.ts" -qm "$TINDRALDIR/lib/locale/ideweave_de.qm"
cp "$WINEPREFIX/user.reg" "$work/user.reg.before"

# Key time stamps change with every save; leave them out to see what the values did.
without_stamps() { sed -E 's/^(\[.*\]) [0-9]+$/\1/; /^#time=/d' "$1"; }

echo "== Sample prefix: $WINEPREFIX"
echo "== Product directory (TINDRALDIR): $TINDRALDIR"
echo
echo "\$ ideweave -install -quiet --dry-run      # what it would change; nothing is saved"
"$build/ideweave" -install -quiet --dry-run
echo
echo "\$ ideweave -install -quiet"
status=0
"$build/ideweave" -install -quiet || status=$?
echo "(exit status $status)"
echo
# The change in short, from what ideweave itself reads back.
status_line() { "$build/ideweave" -status 2>/dev/null | sed -n "s/^$1: //p"; }
count_of() { sed -n 's/^"NumTools"=dword:0*\([0-9a-f]\)/\1/p' "$1" | head -n1; }
echo "== In short:"
echo "   Tools menu: the viewer's entry at $(status_line 'viewer entry'), the options entry at $(status_line 'options entry')" \
     "(NumTools $(count_of "$work/user.reg.before") -> $(count_of "$WINEPREFIX/user.reg"))"
echo "   search path (Path Dirs): $(status_line 'search path')"
echo "   marker (ACTIVATION under the product's key): $(status_line marker)"
echo
echo "== What -install changed in user.reg:"
diff -u --label user.reg.before --label user.reg.after "$work/user.reg.before" "$WINEPREFIX/user.reg" || true
echo
echo "\$ ideweave -status"
"$build/ideweave" -status || true
echo
echo "\$ ideweave -uninstall -quiet"
status=0
"$build/ideweave" -uninstall -quiet || status=$?
echo "(exit status $status)"
echo
echo "== user.reg after -uninstall, against the original (key time stamps left out):"
if diff -u --label user.reg.before --label user.reg.after <(without_stamps "$work/user.reg.before") \
        <(without_stamps "$WINEPREFIX/user.reg"); then
    echo "identical"
else
    echo "(the product's key keeps the saved search path, 'Restore Path', as ideweave always leaves it)"
fi
echo
echo "The sample's files are in $work"
