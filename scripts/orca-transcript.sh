#!/bin/sh
# What Orca 43 says, unasked, for an entry that fails, one that plays, the
# player's keys, the address window's refusal and the offer's failed update:
# the Orca test (tests/a11y/orca_outcomes.py) run on its own display, session
# bus and window manager, its speech to ALSA's null device, read back from
# Orca's debug log; written to docs/orca-transcript.txt.
# Usage: scripts/orca-transcript.sh [BUILD_DIR]
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=$here/docs/orca-transcript.txt
log=$(mktemp)
{
    echo "# Made by scripts/orca-transcript.sh, which runs:"
    echo "#   dbus-run-session -- xvfb-run -a -s '-screen 0 1280x1024x24' tests/windows/with-openbox.sh \\"
    echo "#       /usr/bin/python3 tests/a11y/orca_outcomes.py build/a11y_outcomes"
    echo "# ('ok' lines: what the test waited for; then every utterance of Orca, in order)"
    dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" "$here/tests/windows/with-openbox.sh" \
        /usr/bin/python3 "$here/tests/a11y/orca_outcomes.py" "$build/a11y_outcomes"
} >"$log" 2>&1 || { cat "$log"; rm -f "$log"; exit 1; }
mv "$log" "$out"
cat "$out"
