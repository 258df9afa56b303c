#!/bin/bash
# The program as people install it: the manual page renders without warnings,
# "cmake --install" and the .deb deliver the program and its manual page and
# nothing else, the .deb depends on the libraries the program really uses, and
# the packaged program installs into the sample prefix.
set -eu
build=$1
sample=$2
version=$3
work=$(mktemp -d /tmp/ideweave-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$build/ideweave.1" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
grep -q "ideweave $version" "$build/ideweave.1" || fail "the manual page does not name version $version"

expected=$(printf '%s\n' usr/bin/ideweave usr/share/man/man1/ideweave.1)
cmake --install "$build" --prefix "$work/installed/usr" >/dev/null
installed=$(cd "$work/installed" && find . -type f | sed 's|^\./||' | sort)
[ "$installed" = "$expected" ] || fail "cmake --install delivers: $installed"

(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$work/deb/ideweave_${version}_amd64.deb
[ -f "$deb" ] || { echo "FAIL: no $deb"; exit 1; }
packaged=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort)
[ "$packaged" = "$expected" ] || fail "the .deb holds: $packaged"
depends=$(dpkg-deb -f "$deb" Depends)
depended=$(tr ',' '\n' <<<"$depends" | awk '{print $1}')
for library in libc6 libstdc++6 libqt6widgets6 libqt6core6; do
    grep -qxF "$library" <<<"$depended" || fail "Depends lacks $library: $depends"
done
for field in Maintainer Section Description; do
    [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the .deb has no $field"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the .deb's version is not $version"

dpkg-deb -x "$deb" "$work/unpacked"
cp -a "$sample" "$work/prefix"
mkdir -p "$work/prefix/drive_c/Tindral/lib/locale"
out=$(WINEPREFIX="$work/prefix" TINDRALDIR="$work/prefix/drive_c/Tindral" "$work/unpacked/usr/bin/ideweave" -install -quiet)
[ "$out" = "Corvessa Brackwater Tindral options installed" ] || fail "the packaged program says: $out"
grep -qF '"PathName#6"="C:\\Tindral\\bin\\intel\\win32\\tindopts.exe"' "$work/prefix/user.reg" \
    || fail "the packaged program did not add the options entry"

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "The manual page, the install rules and the .deb deliver ideweave $version"
