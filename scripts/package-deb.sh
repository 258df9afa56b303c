#!/bin/bash
# Builds the Debian package with Debian's hardening flags (fortify, stack
# protector, relro, bind now) into build-deb/ (or $BUILD_DIR) and prints its path.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-deb}
"$root/scripts/setup.sh"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" LDFLAGS=$(dpkg-buildflags --get LDFLAGS) \
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=None -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/ideweave_*.deb
