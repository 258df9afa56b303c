#!/bin/bash
# The real status window under Xvfb: its size, its title, a screenshot, and a
# click on OK that ends the program with status 0.
#   window.sh IDEWEAVE SAMPLE_PREFIX [SCREENSHOT]
set -eu
ideweave=$1
sample=$2
screenshot=${3:-}
for tool in Xvfb xwininfo xprop xdotool import; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
work=$(mktemp -d /tmp/ideweave-window.XXXXXX)
display=:$((90 + RANDOM % 100))
cleanup() {
    [ -n "${program:-}" ] && kill "$program" 2>/dev/null || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cp -a "$sample" "$work/prefix"
export WINEPREFIX="$work/prefix" TINDRALDIR="$work/prefix/drive_c/Tindral" DISPLAY=$display
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
mkdir -p "$TINDRALDIR/lib/locale"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$ideweave" -install &
program=$!
title="Tindral for VisualC++ 6.0 Installation"
window=
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name "^Tindral for VisualC" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "FAIL: no window titled '$title'"; exit 1; }
sleep 0.5  # let it paint
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

info=$(xwininfo -id "$window")
width=$(awk '/Width:/ {print $2}' <<<"$info")
height=$(awk '/Height:/ {print $2}' <<<"$info")
x=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")
y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
echo "window ${width}x${height} at $x,$y"
[ "$width" -ge 300 ] && [ "$height" -ge 100 ] || fail "the window is ${width}x${height}, smaller than 300x100"
xprop -id "$window" WM_NAME | grep -qF "\"$title\"" || fail "WM_NAME is $(xprop -id "$window" WM_NAME)"
if [ -n "$screenshot" ]; then
    import -window root -crop "${width}x${height}+${x}+${y}" "$screenshot"
    echo "screenshot: $screenshot"
fi

# OK is the box's only button, at the bottom right.
xdotool mousemove --sync $((x + width - 60)) $((y + height - 25)) click 1
status=0
for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program" 2>/dev/null; then
    fail "the program is still running after a click on OK"
else
    wait "$program" || status=$?
    program=
    [ "$status" -eq 0 ] || fail "exit status $status after OK"
fi
grep -q '^"ACTIVATION"=hex:00$' "$WINEPREFIX/user.reg" || fail "no marker after the install"
[ "$failures" -eq 0 ] && echo "the window showed the outcome and OK ended the program"
[ "$failures" -eq 0 ]
