#!/bin/sh
# Installs the Debian packages of the named sections of packages.txt that
# are missing, e.g. `install-deps.sh build run`. As root it runs apt-get;
# otherwise it prints the exact command to run.
set -eu
here=$(dirname "$0")/..
[ $# -gt 0 ] || { echo "usage: $0 SECTION..." >&2; exit 2; }
for section in "$@"; do
    grep -q "^\[$section\]" "$here/packages.txt" || { echo "$0: no section [$section] in packages.txt" >&2; exit 2; }
done
list=$(awk -v want=" $* " '
    /^[[:space:]]*(#|$)/ { next }
    /^\[.*\]$/ { section = substr($0, 2, length($0) - 2); next }
    index(want, " " section " ") { print $1 }' "$here/packages.txt")
missing=""
for p in $list; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" = 0 ]; then
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing
else
    echo "Missing Debian packages. Run:" >&2
    echo "  sudo apt-get install --no-install-recommends$missing" >&2
    exit 1
fi
