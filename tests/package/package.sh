#!/bin/bash
# The program as people install it: the manual page renders without warnings,
# the .deb delivers the program and its manual page only, depends on the
# libraries the program uses, and its program installs.
#   package.sh BUILD_DIR SAMPLE_PREFIX VERSION
set -eu
. "$(dirname "$0")/../wine/lib.sh"
build=$1 sample=$2 version=$3
work=$(mktemp -d /tmp/ideweave-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
[ -z "$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$build/ideweave.1" 2>&1 >/dev/null)" ] || fail "the manual page has warnings"
expected=$(printf '%s\n' usr/bin/ideweave usr/share/man/man1/ideweave.1)
(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$work/deb/ideweave_${version}_amd64.deb
[ "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort)" = "$expected" ] || fail "the .deb holds more or less"
for library in libc6 libstdc++6 libqt6widgets6 libqt6core6; do
    dpkg-deb -f "$deb" Depends | grep -q "$library" || fail "the .deb does not depend on $library"
done
dpkg-deb -x "$deb" "$work/unpacked" && cp -a "$sample" "$work/prefix" && mkdir -p "$work/prefix/drive_c/Tindral/lib/locale"
[ "$(WINEPREFIX="$work/prefix" TINDRALDIR='C:\Tindral' "$work/unpacked/usr/bin/ideweave" -install -quiet)" = \
    "Corvessa Brackwater Tindral options installed" ] || fail "the packaged program does not install"
finish "the manual page, the install rules and the .deb deliver ideweave $version"
