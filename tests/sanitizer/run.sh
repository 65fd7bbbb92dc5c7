#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (-fno-sanitize-recover) into build-asan/ and runs the whole test suite there,
# window tests included. Soak runs are left to the normal build.
#   tests/sanitizer/run.sh [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/../.."
jobs=$(nproc 2>/dev/null || echo 2)

# Set before the build too: test discovery runs the sanitized binaries.
# Status 86 marks a sanitizer report, apart from the programs' own 1 and 2.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:exitcode=86:strict_init_order=1:check_initialization_order=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0:exitcode=86}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1:exitcode=86}
cmake -S . -B build-asan -DQUENDAR_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-asan -j"$jobs"

ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE soak "$@"
