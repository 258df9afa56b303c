#!/bin/bash
# Installs what building and testing ideweave needs on Debian, when it is missing.
set -eu
packages=(cmake make g++ qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
          wine wine64 g++-mingw-w64-x86-64 clang libclang-rt-14-dev xvfb x11-utils xdotool imagemagick
          diffutils util-linux time)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
