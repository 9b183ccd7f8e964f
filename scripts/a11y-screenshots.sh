#!/bin/sh
# Screenshots of the offer's failure kept in the sources window and of full
# screen, at scale 1 (1280x1024) and scale 2 (QT_SCALE_FACTOR=2 on
# 2560x2048), under Xvfb and openbox, into docs/screenshots.
# Usage: scripts/a11y-screenshots.sh [BUILD_DIR]
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
target=$build/a11y_outcomes
out=$here/docs/screenshots
dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" "$here/tests/windows/with-openbox.sh" \
    /usr/bin/python3 "$here/scripts/a11y-screenshots.py" "$target" "$out" ""
QT_SCALE_FACTOR=2 dbus-run-session -- xvfb-run -a -s "-screen 0 2560x2048x24" "$here/tests/windows/with-openbox.sh" \
    /usr/bin/python3 "$here/scripts/a11y-screenshots.py" "$target" "$out" "-2x"
