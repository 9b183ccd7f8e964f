#!/bin/sh
# Draws the program's one bitmap, the icon, with ImageMagick. The PNGs it
# writes are committed; run it again only to change the look. Every other
# picture (bars, backgrounds, banners, corner picture, start-window frame,
# television sets, knobs, the nine channel logos and the menu picture) is a
# drawing, *.svg beside this script, rendered at the size and pixel ratio it
# is shown, with real transparency.
set -eu
cd "$(dirname "$0")"
IM=/usr/bin/convert

# Program icon.
for s in 16 32 48; do
    $IM -size ${s}x${s} xc:none -fill '#13233f' -stroke '#d4af37' -strokewidth $((s / 16)) \
        -draw "roundrectangle 1,$((s / 5)) $((s - 2)),$((s - 2)) $((s / 6)),$((s / 6))" \
        -fill '#f5d76e' -stroke none \
        -draw "polygon $((s * 2 / 5)),$((s * 2 / 5)) $((s * 2 / 5)),$((s * 4 / 5)) $((s * 3 / 4)),$((s * 3 / 5))" \
        icon$s.png
done
