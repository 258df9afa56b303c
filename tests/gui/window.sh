#!/bin/bash
# The status window under Xvfb, in German: its title, its size, a screenshot,
# and Return on OK ends the install with status 0.
#   window.sh IDEWEAVE SAMPLE_PREFIX GERMAN_QM SCREENSHOT
set -eu
. "$(dirname "$0")/../wine/lib.sh"
new_prefix "$2"
export WINEPREFIX=$prefix TINDRALDIR=$prefix/drive_c/Tindral LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
mkdir -p "$TINDRALDIR/lib/locale" && cp "$3" "$TINDRALDIR/lib/locale/"
check_window 'Tindral für VisualC\+\+ 6\.0 – Installation' "$4" "$1" -install
grep -q '^"ACTIVATION"=hex:00$' "$WINEPREFIX/user.reg" || fail "no marker after the install"
finish "the window showed the outcome in German and OK ended the program"
