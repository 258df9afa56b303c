#!/bin/bash
# Builds the Windows program: installs what is missing, builds Qt 5 for 32-bit
# Windows once (or reuses the cached build), and cross-builds ideweave into
# build-windows/ideweave.exe (or $BUILD_DIR), one static 32-bit executable that
# needs no DLL beside it, and ideweave-<version>-win32.zip with it and how to run it.
#   build-windows.sh x86_64   the same sources for 64-bit Windows, into
#                             build-windows64/, no zip: for the tests on hosts
#                             that cannot run 32-bit programs under Wine
# Exits 77 when Qt's source cannot be had.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-i686}
"$root/scripts/setup.sh" --windows
if [ "$arch" = i686 ]; then
    # IDEWEAVE_WINDOWS_QT names a static Qt for 32-bit Windows of the user's own.
    qt=${IDEWEAVE_WINDOWS_QT:-$("$root/scripts/qt-windows.sh" i686)}
    build=${BUILD_DIR:-$root/build-windows}
else
    qt=$("$root/scripts/qt-windows.sh" "$arch")
    build=${BUILD_DIR:-$root/build-windows64}
fi
# A build made against another Qt (an older recipe's) starts afresh.
if [ "$(cat "$build/.qt-prefix" 2>/dev/null)" != "$qt" ]; then
    rm -rf "$build"
    mkdir -p "$build"
    echo "$qt" >"$build/.qt-prefix"
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake" \
    -DCMAKE_PREFIX_PATH="$qt" -DQt5_DIR="$qt/lib/cmake/Qt5" >/dev/null
cmake --build "$build"
echo "$build/ideweave.exe ($(stat -c %s "$build/ideweave.exe") bytes)"
[ "$arch" = i686 ] || exit 0

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
stage=$build/zip/ideweave-$version-win32
rm -rf "$build/zip"
mkdir -p "$stage"
cp "$build/ideweave.exe" "$build/ideweave.com" "$stage/"
# Texts for Windows, with its line ends: how to run it, our licence, and what the LGPL asks for Qt.
dos() { sed 's/$/\r/' "$@"; }
sed "s/@VERSION@/$version/" "$root/doc/windows-readme.txt" | dos >"$stage/README.txt"
dos "$root/LICENSE" >"$stage/LICENSE.txt"
sed "s/@QT_DEBIAN_VERSION@/$(cat "$qt/debian-version" 2>/dev/null || echo unknown)/" "$root/doc/windows-qt-notice.txt" \
    | dos >"$stage/QT-NOTICE.txt"
dos /usr/share/common-licenses/LGPL-3 >"$stage/LGPL-3.0.txt"
dos /usr/share/common-licenses/GPL-3 >"$stage/GPL-3.0.txt"
zip="$build/ideweave-$version-win32.zip"
rm -f "$zip"
(cd "$build/zip" && zip -q -r "$zip" "ideweave-$version-win32")
echo "$zip"
