#!/bin/bash
# The program as people install it: the manual page renders without warnings and
# carries the release's date; the .deb, built with Debian's hardening flags,
# delivers the program, its manual page and its documents, depends on the
# libraries the program uses, suggests Wine, has no lintian error or warning,
# and its program installs.
#   package.sh BUILD_DIR SAMPLE_PREFIX VERSION SOURCE_DIR
set -eu
. "$(dirname "$0")/../wine/lib.sh"
build=$1 sample=$2 version=$3 source=$4
work=$(mktemp -d /tmp/ideweave-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
[ -z "$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$build/ideweave.1" 2>&1 >/dev/null)" ] || fail "the manual page has warnings"
# Option and variable names are never broken across lines.
for width in 60 80; do
    LC_ALL=C.UTF-8 MANWIDTH=$width man -E UTF-8 -l "$build/ideweave.1" 2>/dev/null | grep -qE '[[:alpha:]]‐$' \
        && fail "the manual page breaks a word at $width columns"
done
release=$(sed -n 's/^ -- .*  [A-Z][a-z]*, \([0-9]*\) \([A-Z][a-z]*\) \([0-9]*\) .*/\1 \2 \3/p' "$source/doc/changelog" | head -n 1)
grep -q "^\.TH IDEWEAVE 1 \"$(date -d "$release" +%F)\" \"ideweave $version\"" "$build/ideweave.1" \
    || fail "the manual page does not carry the changelog's date $release"
deb=$(BUILD_DIR=$work/build "$source/scripts/package-deb.sh")
expected=$(printf '%s\n' usr/bin/ideweave usr/share/doc/ideweave/README.md.gz usr/share/doc/ideweave/changelog.gz \
    usr/share/doc/ideweave/copyright usr/share/doc/ideweave/examples/ansible/{README.md,hook.yml,library/ideweave.py,tasks/ideweave.yml,unhook.yml} \
    usr/share/man/man1/ideweave.1.gz | sort)
[ "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort)" = "$expected" ] || fail "the .deb holds more or less"
for library in libc6 libstdc++6 libqt6widgets6 libqt6core6; do
    dpkg-deb -f "$deb" Depends | grep -q "$library" || fail "the .deb does not depend on $library"
done
[ "$(dpkg-deb -f "$deb" Suggests)" = wine ] || fail "the .deb does not suggest wine"
tags=$(lintian --info "$deb" 2>/dev/null | grep -E '^[EW]: ' || true)
[ -z "$tags" ] || fail "lintian: $tags"
dpkg-deb -x "$deb" "$work/unpacked" && cp -a "$sample" "$work/prefix" && mkdir -p "$work/prefix/drive_c/Tindral/lib/locale"
[ "$(WINEPREFIX="$work/prefix" TINDRALDIR='C:\Tindral' "$work/unpacked/usr/bin/ideweave" -install -quiet)" = \
    "Corvessa Brackwater Tindral options installed" ] || fail "the packaged program does not install"
rm -rf "/tmp/$(cat "$work/prefix/wineserver" 2>/dev/null || echo nothing-here)"
finish "the manual page, the install rules and the .deb deliver ideweave $version"
