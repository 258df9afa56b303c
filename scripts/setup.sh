#!/bin/bash
# Installs what ideweave needs on Debian, when it is missing.
#   setup.sh          what building the program and its package needs (Qt 6,
#                     CMake, a compiler, Debian's build tools)
#   setup.sh --windows  that and what building the Windows program needs:
#                     mingw-w64 for 32-bit and 64-bit Windows, and the tools that build Qt from its source
#   setup.sh --tests  all of that and what the tests need: Wine with its 32-bit
#                     half (Debian's i386 architecture), clang for fuzzing and the sanitizers, Xvfb,
#                     packaging tools and lintian, Ansible, German and Russian locales
set -eu
packages=(cmake make g++ qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools dpkg-dev pkg-config)
if [ "${1:-}" = "--windows" ] || [ "${1:-}" = "--tests" ]; then
    packages+=(g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 g++-mingw-w64-x86-64-win32 ninja-build perl xz-utils zip)
fi
if [ "${1:-}" = "--tests" ]; then
    packages+=(g++-mingw-w64-x86-64 wine wine64 wine32:i386 unzip clang libclang-rt-14-dev xvfb x11-utils xdotool
               imagemagick man-db groff-base locales diffutils util-linux time ansible-core ansible-lint lintian file)
fi
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
# Developer Studio is a 32-bit program: Wine runs it, and the tests, with its i386 half.
if [ "${1:-}" = "--tests" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
fi
if [ ${#missing[@]} -ne 0 ]; then
    echo "Installing: ${missing[*]}"
    "${as_root[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# Wine takes its language from the C library's locale, which must exist; the
# tests run controllers and programs under German and Russian ones, and judge
# code pages by Serbian in both its scripts and by Chinese as Taiwan writes it.
if [ "${1:-}" = "--tests" ]; then
    for locale in de_DE.UTF-8 ru_RU.UTF-8 sr_RS sr_RS@latin zh_TW.UTF-8; do
        locale -a 2>/dev/null | sed 's/\.utf8//' | grep -qx "${locale%.UTF-8}" && continue
        echo "Generating the $locale locale"
        "${as_root[@]}" sed -i "s/^# *\($locale UTF-8\)/\1/" /etc/locale.gen
        grep -q "^$locale UTF-8" /etc/locale.gen || echo "$locale UTF-8" | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
        generate=yes
    done
    [ -z "${generate:-}" ] || "${as_root[@]}" locale-gen >/dev/null
fi
