#!/bin/sh
# Renders the program icon into the hicolor sizes. The PNGs are committed;
# run this again only after changing the SVG (needs librsvg2-bin).
set -eu
cd "$(dirname "$0")"
id=org.miravon.Miravon
for s in 16 24 32 48 64 128 256; do
    mkdir -p hicolor/${s}x${s}/apps
    rsvg-convert -w $s -h $s "$id.svg" -o hicolor/${s}x${s}/apps/$id.png
done
