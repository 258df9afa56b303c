#!/bin/bash
# Builds a static Qt for 64-bit Windows (mingw-w64) from Debian's source package
# of the host's Qt, once, into a cache outside the work tree, and prints the
# folder it is installed in. A cached build is reused while this recipe and the
# toolchain file stay the same; a change to either builds it anew.
#   IDEWEAVE_CACHE  where the cache lives (default ~/.cache/ideweave)
# Exits 77 when Qt's source cannot be had (no source entries can be derived, or
# the download fails), so that callers can report the Windows tests as skipped.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${IDEWEAVE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ideweave}
toolchain=$root/cmake/mingw-w64-x86_64.cmake
recipe=$(cat "$0" "$toolchain" | sha256sum | cut -c1-16)
prefix=$cache/qt-windows-$recipe

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
    local dir=$1
    mkdir -p "$dir"
    (cd "$dir" && apt-get source -q qt6-base="$(dpkg-query -W -f='${Version}' qt6-base-dev)" >&2)
}

work=$cache/qt-windows-work
rm -rf "$work"
mkdir -p "$work"
enable_source_entries || { echo "no apt source entries to derive Qt's source from" >&2; exit 77; }
fetch_source "$work/src" || { echo "Qt's source package could not be fetched" >&2; exit 77; }
source_dir=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
# Qt 6.4's Windows platform plugin asks for dynamic OpenGL even when OpenGL is
# off; without OpenGL there is no software OpenGL to tell apart.
sed -i '/^static inline bool isSoftwareGl()$/,/^}$/ s/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    "$source_dir/src/plugins/platforms/windows/qwindowswindow.cpp"
grep -q 'QT_CONFIG(dynamicgl) && QT_CONFIG(opengl)' "$source_dir/src/plugins/platforms/windows/qwindowswindow.cpp" \
    || { echo "Qt's source differs from what this recipe mends" >&2; exit 1; }

# Static, and only what the program needs: Core, Gui, Widgets with the Windows
# platform plugin and styles, and the offscreen plugin for runs without a display.
# Debian's cleaned source lacks the tablet header, so tablet events are off.
echo "Configuring Qt for Windows in $work/build" >&2
cmake -S "$source_dir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
    -DBUILD_SHARED_LIBS=OFF \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF -DFEATURE_testlib=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_jpeg=OFF \
    -DFEATURE_tabletevent=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF >"$work/configure.log" 2>&1 \
    || { tail -n 40 "$work/configure.log" >&2; exit 1; }
echo "Building Qt for Windows (about 30 minutes on 2 cores)" >&2
cmake --build "$work/build" -j"$(nproc)" >"$work/build.log" 2>&1 \
    || { tail -n 40 "$work/build.log" >&2; exit 1; }
cmake --install "$work/build" >"$work/install.log" 2>&1 \
    || { tail -n 40 "$work/install.log" >&2; exit 1; }
touch "$prefix/.complete"
# Older recipes' builds and the work folder are no longer needed.
find "$cache" -mindepth 1 -maxdepth 1 -name 'qt-windows-*' ! -path "$prefix" -exec rm -rf {} +
echo "$prefix"
