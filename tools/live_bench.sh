#!/bin/sh
# quendar live against the straightforward version, under an Xvfb of its own
# with Mesa's software GL: steps and frames a second of the default scene and
# of 3 generators with 3000 particles, and the start-up to the first frame of
# the default scene and of 3 generators with 12000 particles. Prints a table.
#   tools/live_bench.sh [BUILD_DIR [SECONDS]]
# BUILD_DIR defaults to build; SECONDS, the length of each timed run, to 25.
# Takes about 4 minutes with the default 25 s, most of it the straightforward
# 12000-particle warm-up. Run it on an otherwise idle machine.
set -eu

build=${1:-build}
seconds=${2:-25}
bench=$build/app/quendar-live-bench
if [ ! -x "$bench" ]; then
    echo "live_bench.sh: no $bench; build first (cmake --build $build)" >&2
    exit 2
fi

work=$(mktemp -d)
xvfb=
cleanup() {
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A free display number, written by Xvfb itself once it listens.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp +extension GLX \
    3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
tries=0
until [ -s "$work/display" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 600 ] || ! kill -0 "$xvfb" 2>/dev/null; then
        echo "live_bench.sh: Xvfb did not start" >&2
        exit 1
    fi
    sleep 0.1
done
DISPLAY=:$(cat "$work/display")
export DISPLAY
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
mkdir -m 700 "$work/runtime"
XDG_RUNTIME_DIR=$work/runtime
export XDG_RUNTIME_DIR

# figure NAME LINE: the value of NAME=... in a line of the bench.
figure() { printf '%s\n' "$2" | tr ' ' '\n' | sed -n "s/^$1=//p"; }

# measure G N SECONDS [--straightforward]: the bench's line.
measure() {
    if [ "${4:-}" = --straightforward ]; then set -- --straightforward "$1" "$2" "$3"; fi
    if ! "$bench" "$@" 2>"$work/stderr"; then
        echo "live_bench.sh: $bench $* failed:" >&2
        cat "$work/stderr" >&2
        exit 1
    fi
}

# median3 A B C
median3() { printf '%s\n%s\n%s\n' "$1" "$2" "$3" | sort -g | sed -n 2p; }

ratio() { awk -v a="$1" -v b="$2" -v up="$3" 'BEGIN {
    if (up) r = (b > 0) ? a / b : 0; else r = (a > 0) ? b / a : 0;
    printf "%.2fx", r }'; }

row() { printf '| %-8s | %-22s | %12s | %15s | %6s |\n' "$1" "$2" "$3" "$4" "$5"; }

echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)," \
     "Xvfb 1280x1024x24, Mesa software GL; $seconds s a timed run"
echo
row scene measure quendar straightforward ratio
row -------- ---------------------- ------------ --------------- ------

for scene in "1 400" "3 3000"; do
    set -- $scene
    ours=$(measure "$1" "$2" "$seconds")
    plain=$(measure "$1" "$2" "$seconds" --straightforward)
    name="${1}x${2}"
    for what in steps_per_second frames_per_second; do
        a=$(figure $what "$ours")
        b=$(figure $what "$plain")
        row "$name" "$what" "$a" "$b" "$(ratio "$a" "$b" 1)"
    done
done

# Start-up: the default scene three times each way (the median), the large
# one once; one second of loop after the first frame suffices.
startup() {
    line=$(measure "$@")
    figure startup_seconds "$line"
}
a1=$(startup 1 400 1); a2=$(startup 1 400 1); a3=$(startup 1 400 1)
b1=$(startup 1 400 1 --straightforward); b2=$(startup 1 400 1 --straightforward)
b3=$(startup 1 400 1 --straightforward)
a=$(median3 "$a1" "$a2" "$a3")
b=$(median3 "$b1" "$b2" "$b3")
row 1x400 startup_seconds "$a" "$b" "$(ratio "$a" "$b" 0)"
a=$(startup 3 12000 1)
b=$(startup 3 12000 1 --straightforward)
row 3x12000 startup_seconds "$a" "$b" "$(ratio "$a" "$b" 0)"
