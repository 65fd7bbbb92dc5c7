#!/usr/bin/env bash
# Set-up on a fresh Debian 12 machine: installs what is missing, builds, and
# then either runs the fire (run [num_of_generators num_of_particles]) or
# every test (test).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-run}
shift || true
jobs=$(nproc 2>/dev/null || echo 2)

# Build and run-time packages; the test mode adds what the tests drive.
packages=(cmake make g++ libcoin-dev libsoqt520-dev libgl1-mesa-dri)
if [ "$mode" = test ]; then
  packages+=(libgtest-dev libbenchmark-dev)
  # The window tests: a private X server (drawing with Mesa's software GL), keys sent
  # through XTEST, and python3-xlib for windows, screenshots and the close request.
  packages+=(xvfb xdotool python3 python3-xlib)
  # The fuzz runs: clang with its libFuzzer and sanitizer runtimes.
  packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  echo "installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

long_checks=OFF
[ "$mode" = test ] && long_checks=ON
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENDAR_LONG_CHECKS=$long_checks
cmake --build build -j"$jobs"

case "$mode" in
  run)
    exec ./build/app/quendar "$@"
    ;;
  test)
    ctest --test-dir build --output-on-failure -j"$jobs"
    # Then the long and the hostile runs, each in its own build directory.
    bash tests/soak/run.sh                # build-soak: 200,000 and 20,000 steps
    bash tests/sanitizer/run.sh           # build-asan: the whole suite under ASan and UBSan
    bash tests/fuzz/run.sh 60             # build-fuzz: each fuzz target for 60 s
    ;;
  *)
    echo "usage: tools/setup.sh run|test" >&2
    exit 2
    ;;
esac
