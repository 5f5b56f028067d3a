#!/usr/bin/env bash
# The tests under the compilers' sanitizers, each pass in a build folder of its
# own (make sanitize):
#   1. AddressSanitizer with UndefinedBehaviorSanitizer: every test.
#   2. ThreadSanitizer: every test of code that runs threads: the resampling
#      bands and the shadow worker (core and solar), the wallpaper builder, the
#      map composer, the picked moment's shadow thread, the map view's bands,
#      closing while work runs, and the batch program (its loader and strips).
#      Qt itself is not built with ThreadSanitizer: the memory its own code
#      touches is not seen (ignore_noninstrumented_modules), and its mutexes
#      wait on the kernel directly, so the checker does not see them either.
#      A result handed over through a queued Qt call would then be reported
#      as a race whenever the window thread was already awake; our workers
#      hand their results over through a standard mutex instead
#      (platform/PostedCalls.h), which the checker follows. Every access our
#      code makes is checked. Tests that start other programs while threads
#      run (the desktop stores' session bus) stay out: the checker cannot
#      follow a process that forks once it has threads.
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
tsan_app_tests=(TestMapComposer TestShownMoment TestMapRepaint TestShutdownUnderWay TestWindowDesktop)
cmake --build "$prefix-tsan" -j "$jobs" --target test_kiv test_solar test_platform test_cli \
    "${tsan_app_tests[@]}"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1"
"$prefix-tsan/bin/test_kiv" --gtest_brief=1
"$prefix-tsan/bin/test_solar" --gtest_brief=1
"$prefix-tsan/bin/test_platform" --gtest_brief=1 --gtest_filter='WallpaperBuilder.*:PostedCalls.*'
"$prefix-tsan/bin/test_cli" --gtest_brief=1
for t in "${tsan_app_tests[@]}"; do
    QT_QPA_PLATFORM=offscreen "$prefix-tsan/bin/$t" -silent
done
echo "sanitize: no findings"
