#!/bin/bash
# ideweave's speed, against what a user would do instead. Prints medians of
# repeated runs:
#   - install and uninstall on the bundled sample prefix, beside `wine regedit /s`
#     of a .reg file with the same changes (where Wine is installed);
#   - install on generated hives of 2, 10, 20 and 100 MB, beside copying the file
#     over an older copy and syncing it (the floor for reading and rewriting it once);
#   - an uninstall whose Tools menu claims 2147483647 entries;
#   - the peak memory of the 100 MB install.
#   run.sh [--smoke]   --smoke: one small iteration of each, to prove the script works
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
smoke=false
[ "${1:-}" = "--smoke" ] && smoke=true
repeats=$($smoke && echo 1 || echo 15)
big_repeats=$($smoke && echo 1 || echo 9)
sizes=$($smoke && echo "1" || echo "2 10 20 30 100")

build=${BENCH_BUILD_DIR:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target ideweave >/dev/null
ideweave=$build/ideweave
hivegen=$build/hivegen
c++ -std=c++17 -O2 "$root/bench/hivegen.cpp" -o "$hivegen"
work=$(mktemp -d /tmp/ideweave-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Microseconds since the epoch, read without starting a process, times 1000.
now() { echo "${EPOCHREALTIME/./}000"; }
# median of the numbers on standard input
median() { sort -n | awk '{a[NR]=$1} END {m=int((NR+1)/2); if (NR%2) print a[m]; else print (a[m]+a[m+1])/2}'; }
ms() { awk -v ns="$1" 'BEGIN {printf "%.1f", ns/1e6}'; }

# A prefix with its own product directory: prefix DIR HIVE
prefix() {
    mkdir -p "$1/dosdevices" "$1/drive_c/Tindral/lib/locale"
    ln -sfn ../drive_c "$1/dosdevices/c:"
    cp "$2" "$1/user.reg"
}
# time_runs COUNT MODE PREFIX START_HIVE: nanoseconds a run, one a line
time_runs() {
    for _ in $(seq "$1"); do
        # Each run starts on a quiet disk: the hive it replaces is written out first.
        cp "$4" "$3/user.reg" && sync "$3/user.reg"
        start=$(now)
        WINEPREFIX=$3 TINDRALDIR=$3/drive_c/Tindral "$ideweave" "$2" -quiet >/dev/null 2>&1 || true
        echo $(($(now) - start))
    done
}

echo "== The bundled sample ($(wc -c <"$root/sample/prefix/user.reg") bytes)"
prefix "$work/sample" "$root/sample/prefix/user.reg"
cp "$root/sample/prefix/user.reg" "$work/sample.before"
WINEPREFIX=$work/sample TINDRALDIR=$work/sample/drive_c/Tindral "$ideweave" -install -quiet >/dev/null
cp "$work/sample/user.reg" "$work/sample.installed"
install_ns=$(time_runs "$repeats" -install "$work/sample" "$work/sample.before" | median)
uninstall_ns=$(time_runs "$repeats" -uninstall "$work/sample" "$work/sample.installed" | median)
echo "ideweave -install -quiet:   $(ms "$install_ns") ms"
echo "ideweave -uninstall -quiet: $(ms "$uninstall_ns") ms"
# What starting the program costs on this machine, without any registry work.
start_ns=$(for _ in $(seq "$repeats"); do
    start=$(now)
    "$ideweave" -quiet >/dev/null 2>&1 || true
    echo $(($(now) - start))
done | median)
echo "of which starting the program (ideweave -quiet, nothing to do): $(ms "$start_ns") ms"

# The floor of any Qt Widgets program: one that only creates its application
# object, offscreen as a quiet run is. Timed in pairs with the sample's runs,
# alternating, so that both meet the machine in the same state.
printf '#include <QApplication>\nint main(int argc, char **argv) { QApplication application(argc, argv); return 0; }\n' >"$work/bare.cpp"
# shellcheck disable=SC2046
c++ -std=c++17 -O2 -fPIC "$work/bare.cpp" -o "$work/bare" $(pkg-config --cflags --libs Qt6Widgets)
for mode in -install -uninstall; do
    start_hive=$work/sample.before
    [ "$mode" = -uninstall ] && start_hive=$work/sample.installed
    for _ in $(seq "$repeats"); do
        echo "run $(time_runs 1 "$mode" "$work/sample" "$start_hive")"
        start=$(now)
        QT_QPA_PLATFORM=offscreen "$work/bare" 2>/dev/null
        echo "bare $(($(now) - start))"
    done >"$work/pairs"
    run=$(awk '$1 == "run" {print $2}' "$work/pairs" | median)
    bare=$(awk '$1 == "bare" {print $2}' "$work/pairs" | median)
    echo "ideweave $mode -quiet against a bare Qt Widgets program: $(ms "$run") ms against $(ms "$bare") ms, ratio $(awk -v a="$run" -v b="$bare" 'BEGIN {printf "%.2f", a/b}')"
done

if command -v wine >/dev/null 2>&1 && ! $smoke; then
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    wine_prefix=$work/wine
    WINEPREFIX=$wine_prefix WINEARCH=win64 wine wineboot -i >/dev/null 2>&1
    WINEPREFIX=$wine_prefix wineserver -w
    # The same entries, marker and search path as a .reg file for regedit.
    {
        echo "REGEDIT4"
        echo
        echo '[HKEY_CURRENT_USER\Software\Microsoft\Devstudio\6.0\Tools]'
        echo '"NumTools"=dword:00000007'
        for entry in "5|Corvessa Brackwater Tindral Viewer|*.fdc *.tsf tndout.spt tndout.tio tndout.tdf tndout.tqf tndout.tpf|tindview" \
                     "6|Corvessa Brackwater Tindral Options...||tindopts"; do
            IFS='|' read -r i menu args exe <<<"$entry"
            printf '"MenuName#%s"="%s"\n"DefaultArguments#%s"="%s"\n"InitialDirectory#%s"="$ (WkspDir)"\n' "$i" "$menu" "$i" "$args" "$i"
            for flag in AskArgument:0 GUITool:1 OutputRedirect:0 CloseWindow:0 UseSearchPath:0 VisibleOnMenu:1 ReloadNoPrompt:0; do
                printf '"%s#%s"=dword:0000000%s\n' "${flag%%:*}" "$i" "${flag##*:}"
            done
            printf '"PathName#%s"="C:\\\\Tindral\\\\bin\\\\intel\\\\win32\\\\%s.exe"\n' "$i" "$exe"
        done
        echo
        echo '[HKEY_CURRENT_USER\Software\Brackwater Software\Tindral\Options\Studio]'
        echo '"ACTIVATION"=hex:00'
        echo '"Restore Path"="C:\\VC98\\BIN"'
        echo
        echo '[HKEY_CURRENT_USER\Software\Microsoft\Devstudio\6.0\Build System\Components\Platforms\Win32 (x86)\Directories]'
        echo '"Path Dirs"="C:\\Tindral\\targets\\cvisual6\\cmd;C:\\Tindral\\bin\\intel\\win32;C:\\Common;C:\\VC98\\BIN"'
    } >"$work/install.reg"
    regedit_ns=$(for _ in $(seq 5); do
        start=$(now)
        WINEPREFIX=$wine_prefix wine regedit /s "$work/install.reg"
        WINEPREFIX=$wine_prefix wineserver -w  # the change is in user.reg only once Wine has saved it
        echo $(($(now) - start))
    done | median)
    echo "wine regedit /s of the same changes (until saved): $(ms "$regedit_ns") ms"
fi

echo
echo "== Generated hives: install, against copying the file and syncing it"
declare -A run_ns copy_ns
for size in $sizes; do
    "$hivegen" "$work/hive$size.reg" "$size"
    prefix "$work/p$size" "$work/hive$size.reg"
    # Installs and copies alternate, so that both meet the machine in the same state.
    for _ in $(seq "$big_repeats"); do
        echo "run $(time_runs 1 -install "$work/p$size" "$work/hive$size.reg")"
        # The copy replaces an older copy, as an install replaces the hive: the old
        # file's blocks are given back in both.
        cp "$work/hive$size.reg" "$work/copy.reg" && sync "$work/copy.reg"
        start=$(now)
        cp "$work/hive$size.reg" "$work/copy.reg" && sync "$work/copy.reg"
        echo "copy $(($(now) - start))"
    done >"$work/pairs"
    run_ns[$size]=$(awk '$1 == "run" {print $2}' "$work/pairs" | median)
    copy_ns[$size]=$(awk '$1 == "copy" {print $2}' "$work/pairs" | median)
    printf '%4s MB: install %8s ms, copy+sync %8s ms, ratio %s\n' "$size" "$(ms "${run_ns[$size]}")" \
        "$(ms "${copy_ns[$size]}")" "$(awk -v a="${run_ns[$size]}" -v b="${copy_ns[$size]}" 'BEGIN {printf "%.2f", a/b}')"
done
if ! $smoke; then
    for range in "2 20" "10 100"; do
        read -r low high <<<"$range"
        awk -v rl="${run_ns[$low]}" -v rh="${run_ns[$high]}" -v cl="${copy_ns[$low]}" -v ch="${copy_ns[$high]}" \
            -v low="$low" -v high="$high" 'BEGIN {printf "cost of each further MB against the copy, %s to %s MB: %.2f\n", low, high, (rh-rl)/(ch-cl)}'
    done
    for size in 30 100; do
        peak_kb=$(cp "$work/hive$size.reg" "$work/p$size/user.reg" &&
                  WINEPREFIX=$work/p$size TINDRALDIR=$work/p$size/drive_c/Tindral /usr/bin/time -f %M "$ideweave" -install -quiet 2>&1 >/dev/null | tail -n 1)
        hive_kb=$(($(wc -c <"$work/hive$size.reg") / 1024))
        echo "peak memory of the $size MB install: $((peak_kb / 1024)) MB, $(awk -v p="$peak_kb" -v h="$hive_kb" 'BEGIN {printf "%.2f", p/h}') times the hive"
    done
fi

echo
echo "== An uninstall whose Tools menu claims 2147483647 entries"
{
    head -n 4 "$root/sample/prefix/user.reg"
    printf '\n[Software\\\\Brackwater Software\\\\Tindral\\\\Options\\\\Studio] 1\n"ACTIVATION"=hex:00\n'
    printf '\n[Software\\\\Microsoft\\\\Devstudio\\\\6.0\\\\Tools] 1\n"NumTools"=dword:7fffffff\n'
    printf '"PathName#0"="C:\\\\Tindral\\\\bin\\\\intel\\\\win32\\\\tindview.exe"\n'
} >"$work/huge-count.reg"
prefix "$work/huge" "$work/huge-count.reg"
huge_ns=$(time_runs "$repeats" -uninstall "$work/huge" "$work/huge-count.reg" | median)
echo "ideweave -uninstall -quiet: $(ms "$huge_ns") ms"
