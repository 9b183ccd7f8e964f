#!/bin/sh
# Runs a test under a reparenting window manager on the current X display:
# starts openbox, waits (bounded) until it manages the screen, runs the
# command, and stops openbox again.
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
i=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    i=$((i + 1))
    if [ "$i" -gt 100 ]; then
        echo "openbox did not start" >&2
        kill "$wm" 2>/dev/null
        exit 1
    fi
    sleep 0.1
done
"$@"
rc=$?
kill "$wm" 2>/dev/null
wait "$wm" 2>/dev/null
exit "$rc"
