#!/bin/bash
# Runs every benchmark of a build and prints one table (see README.md).
#   bench/run.sh BUILD_DIR
# Knobs: BENCH_ROUNDS (first frame and UI thread, default 12),
# BENCH_RUNS (processes per memory case, default 3), BENCH_SWITCHES
# (default 1000), BENCH_QUICK=1 (a short smoke run: 3 rounds, 1 run, 150
# switches). Runs under its own virtual X display.
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
if [ -z "${BENCH_UNDER_XVFB:-}" ]; then
    export BENCH_UNDER_XVFB=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$build"
fi
if [ -n "${BENCH_QUICK:-}" ]; then
    : "${BENCH_ROUNDS:=3}" "${BENCH_RUNS:=1}" "${BENCH_SWITCHES:=150}"
fi
rounds=${BENCH_ROUNDS:-12}
runs=${BENCH_RUNS:-3}
switches=${BENCH_SWITCHES:-1000}
export QT_QPA_PLATFORM=xcb
rows=$(mktemp)
# A window manager, as on a desktop: full screen is the window manager's
# to give.
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'rm -f "$rows"; kill "$wm" 2>/dev/null' EXIT
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done

step() {
    echo "== $*" >&2
    "$@" | tee -a /dev/stderr | grep '^ROW' >>"$rows" || echo "   (failed: $*)" >&2
}
QT_QPA_PLATFORM=offscreen step "$build/bench_catalogue" 20
QT_QPA_PLATFORM=offscreen step "$build/bench_channels" "$rounds"
step "$build/bench_guide"
step "$build/bench_lists_update"
for mode in "" --rendered; do
    step "$build/bench_player_firstframe" $mode --rounds "$rounds"
    step "$build/bench_player_uithread" $mode --rounds "$rounds"
    step "$build/bench_player_memory" $mode --runs "$runs" --switches "$switches"
done
steady_rounds=${BENCH_STEADY_ROUNDS:-$([ -n "${BENCH_QUICK:-}" ] && echo 1 || echo 3)}
step "$build/bench_player_steady" --rounds "$steady_rounds"
QT_SCALE_FACTOR=2 step "$build/bench_player_steady" --rounds "$steady_rounds" --cases fullscreen

echo
{
    printf 'benchmark\tcase\tunit\tn\tplayer min / median / p90\tcompared with\tmin / median / p90\tdifference (median)\n'
    cut -f2- "$rows"
} | column -t -s $'\t'
