#!/bin/bash
# Builds the hive fuzz target with clang's libFuzzer and sanitizers and runs it.
#   run.sh SECONDS [WORK_DIR]   (CI: a bounded run; longer runs: a larger SECONDS)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${2:-$root/build/fuzz}
command -v clang++ >/dev/null || { echo "SKIPPED: clang++ is not installed"; exit 77; }
mkdir -p "$work/corpus" && cp "$here"/seeds/* "$root/sample/prefix/user.reg" "$work/corpus/"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$root" "$here/fuzz_hive.cpp" \
    "$root/winreg/unicode.cpp" "$root/winreg/hiveformat.cpp" "$root/winreg/hive.cpp" -o "$work/fuzz_hive"
# A finding aborts and leaves its input as crash-* in the work folder; libFuzzer's
# own status for it, 77, would read as a skip to CTest.
cd "$work" && ./fuzz_hive -max_total_time="${1:-60}" -max_len=65536 -timeout=10 -error_exitcode=1 -timeout_exitcode=1 \
    -print_final_stats=1 corpus 2>&1 | tail -15
