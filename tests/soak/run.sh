#!/usr/bin/env bash
# Builds the soak runs in the normal (unsanitized) configuration into
# build-soak/ and runs them, both cases side by side.
#   tests/soak/run.sh
# Longer runs: QUENDAR_SOAK_STEPS_1X400=N and QUENDAR_SOAK_STEPS_3X3000=N.
set -euo pipefail
cd "$(dirname "$0")/../.."
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build-soak -DQUENDAR_SOAK=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-soak -j"$jobs" --target quendar_soak_tests
ctest --test-dir build-soak --output-on-failure -V -j"$jobs" -L soak
