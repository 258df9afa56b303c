#!/bin/bash
# Builds a static Qt 5.15 for 32-bit Windows (mingw-w64, i686) from Debian's
# source package qtbase-opensource-src, once, into a cache outside the work
# tree, and prints the folder it is installed in. Qt 5.15 is the newest Qt that
# serves 32-bit Windows and Windows 7. A cached build is reused while this
# recipe and the toolchain file stay the same; a change to either builds it anew.
#   qt-windows.sh [i686|x86_64]   x86_64: the same for 64-bit Windows, which
#                   the tests use on hosts that cannot run 32-bit programs
#   IDEWEAVE_CACHE  where the cache lives (default ~/.cache/ideweave)
# Exits 77 when Qt's source cannot be had (no source entries can be derived, or
# the download fails), so that callers can report the Windows tests as skipped.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${IDEWEAVE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ideweave}
arch=${1:-i686}
case $arch in i686 | x86_64) ;; *) echo "usage: qt-windows.sh [i686|x86_64]" >&2; exit 2 ;; esac
recipe=$(cat "$0" "$root"/cmake/mingw-w64-*.cmake | sha256sum | cut -c1-16)
prefix=$cache/qt5-windows-$arch-$recipe

if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

# Debian's source entries, derived from the machine's own binary entries.
enable_source_entries() {
    local list=/etc/apt/sources.list.d/ideweave-deb-src.sources
    [ -f "$list" ] && return 0
    local found=0
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed -E 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
            | "${as_root[@]}" tee "$list" >/dev/null
        found=1
    fi
    if [ -f /etc/apt/sources.list ] && grep -qE '^deb ' /etc/apt/sources.list; then
        grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
            | "${as_root[@]}" tee /etc/apt/sources.list.d/ideweave-deb-src.list >/dev/null
        found=1
    fi
    [ "$found" -eq 1 ] || return 1
    "${as_root[@]}" apt-get update -q >&2
}

fetch_source() {
    mkdir -p "$1"
    (cd "$1" && apt-get source -q qtbase-opensource-src >&2)
}

work=$cache/qt5-windows-$arch-work
rm -rf "$work"
mkdir -p "$work/bin"
enable_source_entries || { echo "no apt source entries to derive Qt's source from" >&2; exit 77; }
fetch_source "$work/src" || { echo "Qt's source package could not be fetched" >&2; exit 77; }
source_dir=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'qtbase-opensource-src-*' | head -n1)
[ -n "$source_dir" ] || { echo "the source package holds no qtbase-opensource-src folder" >&2; exit 1; }
# Which Debian source it was, for the notice that ships with the program.
find "$work/src" -maxdepth 1 -name '*.dsc' -exec sed -n 's/^Version: //p' {} \; | head -n1 >"$work/debian-version"

# Qt's mkspec names the compilers by prefix alone; these names pin the win32
# thread model, whatever the machine's alternatives choose.
for tool in gcc g++; do ln -s "/usr/bin/$arch-w64-mingw32-$tool-win32" "$work/bin/$arch-w64-mingw32-$tool"; done
export PATH=$work/bin:$PATH

# Static, and only what the program needs: Core, Gui, Widgets with the Windows
# platform plugin and styles, and the offscreen plugin for runs without a
# display. Debian's cleaned source lacks the tablet header, so tablet events are off.
echo "Configuring Qt 5 for Windows ($arch) in $work/build" >&2
mkdir -p "$work/build"
(cd "$work/build" && "$source_dir/configure" -prefix "$prefix" \
    -xplatform win32-g++ -device-option CROSS_COMPILE=$arch-w64-mingw32- \
    -static -release -opensource -confirm-license -nomake examples -nomake tests \
    -no-opengl -no-dbus -no-icu -no-libjpeg -no-sql-sqlite -no-sql-odbc \
    -qt-zlib -qt-pcre -qt-libpng -qt-freetype -qt-harfbuzz \
    -no-feature-network -no-feature-sql -no-feature-testlib -no-feature-xml \
    -no-feature-concurrent -no-feature-printer -no-feature-tabletevent) >"$work/configure.log" 2>&1 \
    || { tail -n 40 "$work/configure.log" >&2; exit 1; }
echo "Building Qt 5 for Windows ($arch), about 15 minutes on 2 cores" >&2
make -C "$work/build" -j"$(nproc)" >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log" >&2; exit 1; }
make -C "$work/build" install >"$work/install.log" 2>&1 || { tail -n 40 "$work/install.log" >&2; exit 1; }
cp "$work/debian-version" "$prefix/debian-version"
touch "$prefix/.complete"
# Older recipes' builds for this processor and the work folder are no longer needed.
find "$cache" -mindepth 1 -maxdepth 1 -name "qt5-windows-$arch-*" ! -path "$prefix" -exec rm -rf {} +
echo "$prefix"
