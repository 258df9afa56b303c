#!/bin/bash
# The status window under Xvfb, in German: its title, its size, a screenshot,
# and Return on OK ends the install with the status a quiet run would have had
# (2 with --detailed-exitcodes: the registry was changed).
#   window.sh IDEWEAVE SAMPLE_PREFIX GERMAN_QM SCREENSHOT
set -eu
. "$(dirname "$0")/../wine/lib.sh"
new_prefix "$2"
export WINEPREFIX=$prefix TINDRALDIR=$prefix/drive_c/Tindral LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
mkdir -p "$TINDRALDIR/lib/locale" && cp "$3" "$TINDRALDIR/lib/locale/"
expected_status=2 check_window 'Tindral für VisualC\+\+ 6\.0 – Installation' "$4" "$1" -install --detailed-exitcodes
grep -q '^"ACTIVATION"=hex:00$' "$WINEPREFIX/user.reg" || fail "no marker after the install"
# A problem shown in a box: the window's run ends with 1, as a quiet run would.
sed -i 's/^"Restore Path"=.*$//' "$WINEPREFIX/user.reg"
expected_status=1 box_title=Fehler check_window 'Tindral für VisualC\+\+ 6\.0 – Installation' "${4%.png}-after-a-problem.png" "$1" -uninstall
finish "the window showed the outcome in German and OK ended the program"
