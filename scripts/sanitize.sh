#!/usr/bin/env bash
# The tests under the compilers' sanitizers, each pass in a build folder of its
# own (make sanitize):
#   1. AddressSanitizer with UndefinedBehaviorSanitizer: every test.
#   2. ThreadSanitizer: the tests of the core and solar code that runs threads
#      (the resampling bands, the shadow worker). Qt is not built with
#      ThreadSanitizer, so what Qt synchronises it cannot see: the tests of code
#      that uses Qt (the window, the wallpaper builder) stay out of this pass.
# Every finding ends the test that meets it. Only what the tests need is built:
# no benchmarks, no fuzz targets, no package.
#
#   scripts/sanitize.sh [FOLDER-PREFIX]     (default: build-sanitize)
# WERROR=ON makes warnings errors; JOBS sets the parallel jobs; CMAKEFLAGS are
# passed to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${1:-build-sanitize}
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}

# Line tables are enough for the reports' stack traces, and -O1 keeps the
# instrumented build quick.
configure() {
    cmake -S . -B "$1" -DCHRONARA_SANITIZE="$2" -DCHRONARA_WERROR="${WERROR:-OFF}" \
        -DCHRONARA_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" \
        ${CMAKEFLAGS:-} >/dev/null
}

echo "sanitize: AddressSanitizer and UndefinedBehaviorSanitizer, every test"
configure "$prefix-asan" address,undefined
cmake --build "$prefix-asan" -j "$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$prefix-asan" && ctest --output-on-failure -j "$jobs")
unset ASAN_OPTIONS UBSAN_OPTIONS

echo "sanitize: ThreadSanitizer, the threaded tests"
configure "$prefix-tsan" thread
cmake --build "$prefix-tsan" -j "$jobs" --target test_kiv test_solar
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
"$prefix-tsan/bin/test_kiv" --gtest_brief=1
"$prefix-tsan/bin/test_solar" --gtest_brief=1
echo "sanitize: no findings"
