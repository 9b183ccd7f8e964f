#!/bin/sh
# Screenshots of the programme guide in the windows, under Xvfb with
# openbox at scale 1 (1280x1024): an entry's tooltip, the line of a playing
# channel, and the schedule window. Run from the source tree with a build
# in BUILD (default build/); needs xvfb, openbox and imagemagick. The
# program runs with config, data and cache folders of its own, a guide file
# of the test target's, and a guide clock fixed at 20:59:59 in Hà Nội.
set -eu
BUILD=${BUILD:-build}
OUT=${OUT:-docs/screenshots}
TARGET=$(realpath "$BUILD/a11y_target")
OUT=$(realpath "$OUT")
HOME_DIR=$(mktemp -d)
trap 'rm -rf "$HOME_DIR"' EXIT

shoot() { # stage file
    rm -rf "$HOME_DIR"/*
    XDG_CONFIG_HOME="$HOME_DIR/config" XDG_DATA_HOME="$HOME_DIR/data" XDG_CACHE_HOME="$HOME_DIR/cache" \
        xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
            openbox >/dev/null 2>&1 &
            sleep 1
            "$0" --guide --stage "$1" > "$2.log" &
            pid=$!
            for i in $(seq 1 200); do grep -q ready "$2.log" 2>/dev/null && break; sleep 0.1; done
            sleep 1.5
            import -window root "$2"
            kill $pid' "$TARGET" "$1" "$OUT/$2"
    rm -f "$OUT/$2.log"
}

shoot tooltip guide-tooltip.png
shoot playing guide-playing-line.png
shoot schedule guide-schedule-window.png
