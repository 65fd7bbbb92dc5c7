#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/, then runs each for a bounded
# time from its committed seed corpus.
#   tests/fuzz/run.sh [SECONDS_EACH] [TARGET...]     (default 60 s, every target)
# New inputs go to build-fuzz/corpus/TARGET, a crashing input to
# build-fuzz/artifacts/; reproduce one with build-fuzz/TARGET FILE.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-60}
shift || true
out=build-fuzz
cxx=${CXX_FUZZ:-clang++-14}
command -v "$cxx" >/dev/null || cxx=clang++

flags=(-std=c++17 -O1 -g -I. -Wall -Wextra -ffp-contract=off -fno-omit-frame-pointer
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)

core=(grid/SpatialHashGrid.cpp generator/Generator.cpp sim/Random.cpp sim/ParticleSystem.cpp
      sim/PairForce.cpp sim/PairKernels.cpp sim/Emission.cpp sim/Step.cpp sim/Startup.cpp)

declare -A sources
sources[grid_fuzz]="tests/fuzz/grid_fuzz.cpp grid/SpatialHashGrid.cpp"
sources[step_fuzz]="tests/fuzz/step_fuzz.cpp ${core[*]}"
sources[sim_args_fuzz]="tests/fuzz/sim_args_fuzz.cpp tools/SimArguments.cpp"
targets=(grid_fuzz step_fuzz sim_args_fuzz)
# The program's command line, once it exists in the tree.
if [ -f app/CommandLine.cpp ]; then
  sources[cli_fuzz]="tests/fuzz/cli_fuzz.cpp app/CommandLine.cpp"
  targets+=(cli_fuzz)
fi
[ $# -eq 0 ] || targets=("$@")

mkdir -p "$out/artifacts"
for t in "${targets[@]}"; do
  echo "== building $t"
  # shellcheck disable=SC2086
  "$cxx" "${flags[@]}" ${sources[$t]} -o "$out/$t" -lCoin
done

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for t in "${targets[@]}"; do
  echo "== running $t for ${seconds} s"
  mkdir -p "$out/corpus/$t"
  start=$(date +%s)
  "$out/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/$t-" "$out/corpus/$t" "tests/fuzz/corpus/$t" \
    >"$out/$t.log" 2>&1 || { tail -n 60 "$out/$t.log"; echo "FUZZ FAILED: $t"; exit 1; }
  echo "   $t: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$out/$t.log" | grep -o '[0-9]*$') runs in $(( $(date +%s) - start )) s, no fault"
done
