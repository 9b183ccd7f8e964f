#!/bin/sh
# Draws the program's artwork with ImageMagick. The PNGs it writes are
# committed; run it again only to change the look. Every picture keeps one
# key colour (magenta, #FF00FF) for its transparent pixels, except the menu
# picture, whose key is the stored mask colour #FFD6CE.
set -eu
cd "$(dirname "$0")"
IM=/usr/bin/convert
KEY='#FF00FF'
FONT=DejaVu-Sans-Bold

# Decoration pieces of the viewer windows.
$IM -size 16x500 gradient:'#1b2a4a-#3d5a99' \
    -fill '#d4af37' -draw 'rectangle 7,0 8,499' vbar.png
$IM -size 246x16 gradient:'#3d5a99-#1b2a4a' -rotate 0 \
    -fill '#d4af37' -draw 'rectangle 0,7 245,8' hbar.png
$IM -size 490x58 xc:"$KEY" -fill '#13233f' -stroke '#d4af37' -strokewidth 2 \
    -draw 'roundrectangle 2,2 487,55 14,14' \
    -font $FONT -pointsize 30 -fill '#f5d76e' -stroke none -gravity center \
    -annotate +0+0 'MIRAVON TV' banner.png
$IM -size 396x301 xc:"$KEY" -fill '#1f3560' -draw 'circle 300,100 300,290' \
    -fill '#2f4f8f' -draw 'circle 300,100 300,220' \
    -fill '#d4af37' -draw 'circle 300,100 300,140' corner.png
$IM -size 850x96 gradient:'#13233f-#2f4f8f' -fill "$KEY" -draw 'rectangle 0,0 849,6' \
    -font $FONT -pointsize 26 -fill '#f5d76e' -gravity center \
    -annotate +0+4 'Truyền hình thế giới — một cú nhấp chuột' bottom.png

# Start window and information windows.
$IM -size 300x300 radial-gradient:'#2f4f8f-#0b1428' background.png
$IM -size 850x850 xc:"$KEY" -fill none -stroke '#d4af37' -strokewidth 6 \
    -draw 'roundrectangle 20,20 829,829 40,40' \
    -stroke '#3d5a99' -strokewidth 2 -draw 'roundrectangle 40,40 809,809 30,30' title.png
$IM -size 87x125 xc:"$KEY" -fill '#d4af37' -draw 'roundrectangle 6,20 80,90 8,8' \
    -fill '#13233f' -draw 'roundrectangle 12,26 74,84 6,6' \
    -stroke '#d4af37' -strokewidth 3 -draw 'line 30,20 15,4' -draw 'line 56,20 72,4' \
    -stroke none -fill '#d4af37' -draw 'rectangle 30,92 56,110' tv.png
$IM -size 96x96 xc:"$KEY" -fill '#d4af37' -draw 'circle 48,48 48,8' \
    -fill '#13233f' -draw 'circle 48,48 48,24' -fill '#f5d76e' -draw 'circle 48,48 48,40' knob.png

# Menu picture beside the Vietnamese-television item, on its stored mask.
$IM -size 36x35 xc:'#FFD6CE' -fill '#da251d' -draw 'rectangle 3,6 32,28' \
    -fill '#ffff00' -draw 'polygon 18,9 20,15 26,15 21,19 23,25 18,21 13,25 15,19 10,15 16,15' menu_vn.png

# Program icon.
for s in 16 32 48; do
    $IM -size ${s}x${s} xc:none -fill '#13233f' -stroke '#d4af37' -strokewidth $((s / 16)) \
        -draw "roundrectangle 1,$((s / 5)) $((s - 2)),$((s - 2)) $((s / 6)),$((s / 6))" \
        -fill '#f5d76e' -stroke none \
        -draw "polygon $((s * 2 / 5)),$((s * 2 / 5)) $((s * 2 / 5)),$((s * 4 / 5)) $((s * 3 / 4)),$((s * 3 / 5))" \
        icon$s.png
done

# Logos of the nine Vietnamese channels, sized as their entries.
logo() { # file width height text background
    $IM -size "$2x$3" xc:"$5" -fill white -font $FONT -pointsize $(( $3 * 6 / 10 )) \
        -gravity center -annotate +0+0 "$4" "$1"
}
logo logo1.png 102 23 'HTV7' '#c0392b'
logo logo2.png 102 23 'HTVC' '#8e44ad'
logo logo3.png 102 23 'HTV9' '#2980b9'
logo logo4.png 79 35 'VTV1' '#c0392b'
logo logo5.png 70 35 'VTV3' '#16a085'
logo logo6.png 67 35 'VTV4' '#d35400'
logo logo7.png 46 35 'HN' '#b8860b'
logo logo8.png 83 35 'VTC1' '#2c3e50'
logo logo9.png 83 35 'VTC2' '#34495e'
