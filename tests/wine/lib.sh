#!/bin/bash
# Shared by the Wine and window tests: a skip code CTest shows, prefixes copied
# from a template that was made once by wineboot, and a look at a status window.
skip() { echo "SKIPPED: $*"; exit 77; }
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
failures=0 prefixes=()
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
finish() { [ "$failures" -eq 0 ] && echo "$1" || exit 1; }
need_wine() { command -v wine >/dev/null && command -v wineserver >/dev/null || skip "Wine is not installed"; }
# Whether this host runs 32-bit programs: test.sh finds out once and puts the
# reason why not in IDEWEAVE_NO_32BIT (empty when it can); alone, a script finds out itself.
[ -n "${IDEWEAVE_NO_32BIT+set}" ] || IDEWEAVE_NO_32BIT=$("$(dirname "${BASH_SOURCE[0]}")/../../scripts/runs-32bit.sh") || true
need_32bit() { [ -z "$IDEWEAVE_NO_32BIT" ] || skip "$IDEWEAVE_NO_32BIT"; }
# Without 32-bit programs, Wine runs through its 64-bit loader: Debian's wrapper
# would take the 32-bit one whenever that is installed, also for Wine's own
# programs (winepath), and so would every process Wine starts without WINELOADER.
if [ -n "$IDEWEAVE_NO_32BIT" ] && [ -x /usr/lib/wine/wine64 ]; then
    export WINELOADER=/usr/lib/wine/wine64
    wine() { "$WINELOADER" "$@"; }
    winepath() { wine winepath.exe "$@"; }
fi
wait_wine() { WINEPREFIX="$1" wineserver -w; }

# Each prefix goes with its wineserver and the server folder that Debian's Wine made for it.
cleanup() {
    for p in "${prefixes[@]}"; do
        WINEPREFIX="$p" wineserver -k 2>/dev/null || true
        [ ! -f "$p/wineserver" ] || rm -rf "${TMPDIR:-/tmp}/$(cat "$p/wineserver")" "/tmp/$(cat "$p/wineserver")"
        rm -rf "$p"
    done
    [ ${#displays[@]} -eq 0 ] || kill "${displays[@]}" 2>/dev/null || true
}
displays=()
trap cleanup EXIT

# new_prefix TEMPLATE: a copy of the template, hard-linked but for the hives,
# which Wine and ideweave change; it goes, with its wineserver, when the script ends.
new_prefix() {
    [ -f "$1/user.reg" ] || skip "no Wine prefix template at $1"
    local dir
    dir=$(mktemp -d /tmp/ideweave-wine.XXXXXX)
    cp -al "$1/." "$dir/"
    for hive in "$dir"/*.reg; do cp --remove-destination "$1/$(basename "$hive")" "$hive"; done
    rm -f "$dir/wineserver" # each copy gets a wineserver directory of its own
    prefixes+=("$dir")
    prefix=$dir
}

# The first visible window of this title (a pattern), waited for up to 30 seconds.
window_titled() {
    local id
    for _ in $(seq 300); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && echo "$id" && return
        sleep 0.1
    done
    return 1
}
press_return() { xdotool windowactivate --sync "$1" key Return 2>/dev/null || xdotool windowfocus --sync "$1" key Return; }

# check_window TITLE SCREENSHOT COMMAND...: on a new X display, the command shows
# a window of that title and at least 300x100, and ends after Return with the
# status $expected_status (0 unless set); a box titled $box_title, when set,
# comes first and is closed with Return.
check_window() {
    local title=$1 screenshot=$2 window program status=0 expected=${expected_status:-0}
    shift 2
    for tool in Xvfb xdotool xdpyinfo import; do command -v $tool >/dev/null || skip "$tool is not installed"; done
    # Xvfb picks a free display itself and names it once it takes connections;
    # -noreset: it would otherwise reset, refusing clients, when xdpyinfo leaves.
    local number
    number=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$number" >/dev/null 2>&1 &
    displays+=($!)
    for _ in $(seq 300); do [ -s "$number" ] && break; sleep 0.1; done
    export DISPLAY=:$(head -n 1 "$number")
    rm -f "$number"
    xdpyinfo >/dev/null 2>&1 || { fail "Xvfb did not answer on '$DISPLAY'"; return; }
    "$@" &
    program=$!
    if [ -n "${box_title:-}" ]; then
        window=$(window_titled "$box_title") || { fail "no box titled '$box_title'"; kill $program; return; }
        sleep 0.5
        press_return "$window"
    fi
    window=$(window_titled "$title") || { fail "no window titled '$title'"; kill $program; return; }
    sleep 1 # let it paint
    eval "$(xdotool getwindowgeometry --shell "$window")"
    [ "$WIDTH" -ge 300 ] && [ "$HEIGHT" -ge 100 ] || fail "the window is ${WIDTH}x$HEIGHT, smaller than 300x100"
    import -window root -crop "${WIDTH}x$HEIGHT+$X+$Y" "$screenshot" && echo "window ${WIDTH}x$HEIGHT: $screenshot"
    press_return "$window"
    for _ in $(seq 100); do kill -0 $program 2>/dev/null || break; sleep 0.1; done
    kill $program 2>/dev/null && fail "the program still runs after Return"
    wait $program || status=$?
    [ "$status" -eq "$expected" ] || fail "exit status $status after Return, not $expected"
    # Each window its own display, gone before the next one starts.
    kill "${displays[-1]}" 2>/dev/null || true
    wait "${displays[-1]}" 2>/dev/null || true
}
