#!/bin/bash
# Sets everything up, builds, and runs every test: once in a normal build (the
# fuzzing run included), once more with AddressSanitizer and
# UndefinedBehaviorSanitizer, where any report fails the test that caused it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" --tests

# Some hosts cannot run 32-bit programs at all: found out once, for every test.
export IDEWEAVE_NO_32BIT
IDEWEAVE_NO_32BIT=$("$root/scripts/runs-32bit.sh") || true
if [ -n "$IDEWEAVE_NO_32BIT" ]; then
    echo "== $IDEWEAVE_NO_32BIT"
    echo "   Wine runs through its 64-bit half; the 32-bit prefix and the runs of the 32-bit program are skipped,"
    echo "   and the same sources built for 64-bit Windows run in the 64-bit prefix instead"
fi

echo "== The Windows program (Qt for Windows is built once, then taken from the cache)"
for arch in i686 ${IDEWEAVE_NO_32BIT:+x86_64}; do
    windows=0
    "$root/scripts/build-windows.sh" "$arch" || windows=$?
    if [ "$windows" -eq 77 ]; then
        echo "Qt's source could not be had: the Windows program's tests will report as skipped"
    elif [ "$windows" -ne 0 ]; then
        exit "$windows"
    fi
done

echo "== Build and test"
BUILD_DIR=${BUILD_DIR:-$root/build} "$root/scripts/build.sh"
(cd "${BUILD_DIR:-$root/build}" && ctest --output-on-failure --timeout 900)

echo "== Benchmark, smoke run"
"$root/bench/run.sh" --smoke

echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
BUILD_DIR=$root/build-sanitize BUILD_TYPE=Debug "$root/scripts/build.sh" \
    -DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_EXE_LINKER_FLAGS="$sanitize"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The tests that exercise the program's memory: the tables, the store against
# Wine (and the prefix it needs), root's runs on a user's prefix. The fuzz
# target is built with the sanitizers already, and the window, packaging and
# Ansible scripts and the Windows programs add nothing here that the first pass did not run.
(cd "$root/build-sanitize" && ctest --output-on-failure --timeout 900 -R '^(tst_|wine_store_|root_on_users_prefix)')
