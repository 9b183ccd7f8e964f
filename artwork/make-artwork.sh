#!/bin/sh
# Draws the program's two bitmaps, the menu picture and the icon, with
# ImageMagick. The PNGs it writes are committed; run it again only to change
# the look. Every other picture (bars, backgrounds, banners, corner picture,
# start-window frame, television sets, knobs and the nine channel logos) is a
# drawing, *.svg beside this script, rendered at the size and pixel ratio it
# is shown, with real transparency. The menu picture keeps the stored mask
# colour #FFD6CE as its key and is drawn without anti-aliasing, so that no
# edge pixel is a blend of the key.
set -eu
cd "$(dirname "$0")"
IM=/usr/bin/convert

# Menu picture beside the Vietnamese-television item, on its stored mask.
$IM -size 36x35 xc:'#FFD6CE' +antialias -fill '#da251d' -draw 'rectangle 3,6 32,28' \
    -fill '#ffff00' -draw 'polygon 18,9 20,15 26,15 21,19 23,25 18,21 13,25 15,19 10,15 16,15' menu_vn.png

# Program icon.
for s in 16 32 48; do
    $IM -size ${s}x${s} xc:none -fill '#13233f' -stroke '#d4af37' -strokewidth $((s / 16)) \
        -draw "roundrectangle 1,$((s / 5)) $((s - 2)),$((s - 2)) $((s / 6)),$((s / 6))" \
        -fill '#f5d76e' -stroke none \
        -draw "polygon $((s * 2 / 5)),$((s * 2 / 5)) $((s * 2 / 5)),$((s * 4 / 5)) $((s * 3 / 4)),$((s * 3 / 5))" \
        icon$s.png
done
