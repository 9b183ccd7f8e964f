#!/bin/sh
# `cmake --install` into a scratch prefix puts every file of the desktop
# integration in its place, the icons at their sizes.
# usage: check_install.sh BUILD_DIR APP_ID
set -eu
build=$1 id=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
for f in bin/miravon \
         share/applications/$id.desktop \
         share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg \
         share/man/man1/miravon.1.gz \
         share/doc/miravon/LICENSE share/doc/miravon/copyright share/doc/miravon/changelog.gz; do
    [ -s "$prefix/$f" ] || { echo "missing: $f"; fail=1; }
done
for s in 16 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${s}x$s/apps/$id.png
    [ -s "$png" ] || { echo "missing: icon $s"; fail=1; continue; }
    # Width and height from the PNG header: they must match the folder.
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
    [ "$dims" = "${s}x$s" ] || { echo "icon $s is $dims"; fail=1; }
done
grep -q "^Icon=$id\$" "$prefix/share/applications/$id.desktop" || { echo "desktop entry names another icon"; fail=1; }
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$prefix/share/metainfo/$id.metainfo.xml" \
    || { echo "metadata launches another entry"; fail=1; }
# The manual page renders without complaints.
warn=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$prefix/share/man/man1/miravon.1.gz" 2>&1 >/dev/null)
[ -z "$warn" ] || { echo "manual page: $warn"; fail=1; }
exit $fail
