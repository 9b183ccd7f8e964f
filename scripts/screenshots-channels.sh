#!/bin/bash
# Screenshots of the lists' other channels for docs/screenshots: a panel
# with its "Thêm … kênh khác" link, a country's list playing a channel,
# "Quốc gia khác", and the find box on a list channel; under openbox on a
# virtual display of 1280×1024 logical pixels, at QT_SCALE_FACTOR 1 and 2
# (the display doubled for 2). The channels' streams are a clip of the
# tests served on loopback; the program's folders are a temporary home.
#   scripts/screenshots-channels.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: screenshots-channels.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${SHOTS_SCALE:-}" ]; then
    for scale in 1 2; do
        SHOTS_SCALE=$scale xvfb-run -a -s "-screen 0 $((1280 * scale))x$((1024 * scale))x24" bash "$0" "$build"
    done
    exit 0
fi
out=$here/../docs/screenshots
media=$here/../tests/playback/media
home=$(mktemp -d)
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory "$media" "$port" >/dev/null 2>&1 &
server=$!
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'kill $server $wm 2>/dev/null; rm -rf "$home"' EXIT
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache
export QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$SHOTS_SCALE
coproc stage { "$build/shots_channels" "http://127.0.0.1:$port"; }
while read -r word name <&"${stage[0]}"; do
    [ "$word" = shot ] || continue
    import -window root "$out/$name-${SHOTS_SCALE}x.png"
    echo "taken $name at scale $SHOTS_SCALE" >&2
    echo ok >&"${stage[1]}"
done
