#!/bin/sh
# Packs the build tree with CPack and checks the Debian package: its name,
# its metadata, its dependencies (from the binary, nothing test-only), its
# files, and that lintian finds no error.
# usage: check_package.sh BUILD_DIR APP_ID
set -eu
build=$1 id=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
arch=$(dpkg --print-architecture)
deb=$out/miravon_1.0_$arch.deb
[ -f "$deb" ] || { echo "no $deb; made:"; ls "$out"; exit 1; }

fail=0
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = miravon ] || { echo "Package: $(field Package)"; fail=1; }
[ "$(field Version)" = 1.0 ] || { echo "Version: $(field Version)"; fail=1; }
[ "$(field Architecture)" = "$arch" ] || { echo "Architecture: $(field Architecture)"; fail=1; }
depends=$(field Depends)
echo "Depends: $depends"
# Libraries the binary links, found by dpkg-shlibdeps, and the fonts.
for p in libc6 libmpv2 libqt6widgets6 libqt6gui6 libqt6core6 fonts-dejavu-core fonts-liberation2; do
    echo "$depends" | grep -Eq "(^|, )$p( |,|$)" || { echo "Depends lacks $p"; fail=1; }
done
# Nothing that only the tests use.
for p in xvfb xauth gstreamer python3 lintian appstream desktop-file-utils at-spi2-core dbus libqt6test6; do
    echo "$depends, $(field Recommends)" | grep -Eq "(^|, )$p" && { echo "test-only dependency: $p"; fail=1; }
done

files=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for f in ./usr/bin/miravon ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/$id.svg ./usr/share/icons/hicolor/16x16/apps/$id.png \
         ./usr/share/icons/hicolor/256x256/apps/$id.png ./usr/share/man/man1/miravon.1.gz \
         ./usr/share/doc/miravon/copyright ./usr/share/doc/miravon/changelog.gz; do
    echo "$files" | grep -qx "$f" || { echo "package lacks $f"; fail=1; }
done

lintian --fail-on error --no-tag-display-limit "$deb" || { echo "lintian reports errors"; fail=1; }
exit $fail
