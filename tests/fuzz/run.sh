#!/bin/bash
# Builds the hive fuzz target with clang's libFuzzer and sanitizers and runs it.
#   run.sh SECONDS [WORK_DIR]   (CI: a bounded run; longer runs: a larger SECONDS)
set -euo pipefail
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${2:-$root/build/fuzz}
command -v clang++ >/dev/null 2>&1 || { echo "SKIPPED: clang++ is not installed"; exit 77; }
mkdir -p "$work/corpus"
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$root")
sources=("$here/fuzz_hive.cpp" "$root/winreg/unicode.cpp" "$root/winreg/hiveformat.cpp" "$root/winreg/hive.cpp")
if ! clang++ "${flags[@]}" "${sources[@]}" -o "$work/fuzz_hive" 2>"$work/build.log"; then
    grep -q "libclang_rt.fuzzer\|fuzzer" "$work/build.log" && { cat "$work/build.log"; echo "SKIPPED: no libFuzzer"; exit 77; }
    cat "$work/build.log"
    exit 1
fi
cp "$here"/seeds/* "$root/sample/prefix/user.reg" "$work/corpus/"
cd "$work"
# Crashes and mismatches abort; libFuzzer then writes the input to crash-* here.
# libFuzzer's own exit status for a finding is 77, which CTest takes as a skip.
./fuzz_hive -max_total_time="$seconds" -max_len=65536 -timeout=10 -error_exitcode=1 -timeout_exitcode=1 \
    -print_final_stats=1 corpus 2>&1 | tail -15
