# Shared by the Wine tests: a skip code CTest shows, and prefixes copied from a
# template that was made once by wineboot.
skip() { echo "SKIPPED: $*"; exit 77; }
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

need_wine() {
    command -v wine >/dev/null 2>&1 || skip "wine is not installed"
    command -v wineserver >/dev/null 2>&1 || skip "wineserver is not installed"
}

# new_prefix TEMPLATE: a fresh copy of the template prefix in a temporary folder,
# hard-linked but for the hives, which Wine and ideweave change.
new_prefix() {
    [ -f "$1/user.reg" ] || skip "no Wine prefix template at $1"
    local dir
    dir=$(mktemp -d /tmp/ideweave-wine.XXXXXX)
    cp -al "$1/." "$dir/"
    for hive in "$dir"/*.reg; do cp --remove-destination "$1/$(basename "$hive")" "$hive"; done
    rm -f "$dir/wineserver"  # each copy gets a wineserver directory of its own
    echo "$dir"
}

wait_wine() { WINEPREFIX="$1" wineserver -w; }

# use_new_prefix TEMPLATE: a new prefix copied from the template becomes $prefix
# and WINEPREFIX; it goes, with its wineserver, when the script ends.
use_new_prefix() {
    need_wine
    prefix=$(new_prefix "$1")
    trap 'wait_wine "$prefix"; rm -rf "$prefix"' EXIT
    export WINEPREFIX="$prefix"
}
