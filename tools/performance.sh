#!/usr/bin/env bash
# The figures of the README's Performance section, in one run: the headless
# benchmarks (step and warm-up beside the straightforward reference, with
# their ratios) and the live window (quendar-live-bench against its
# straightforward mode, under an Xvfb of its own). Build first; run on an
# otherwise idle machine. Takes about 10 minutes.
#   tools/performance.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [ ! -x "$build/bench/quendar_bench" ]; then
  echo "performance.sh: no $build/bench/quendar_bench; build first (bash tools/setup.sh test)" >&2
  exit 2
fi
"$build/bench/quendar_bench" --benchmark_min_time=2
sh tools/live_bench.sh "$build" 25
