#!/bin/sh
# Installs the Debian packages listed in packages.txt that are missing.
# As root it runs apt-get; otherwise it prints the exact command to run.
set -eu
here=$(dirname "$0")/..
list=$(grep -v '^[[:space:]]*#' "$here/packages.txt" | tr -s ' \n' '\n' | grep -v '^$')
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
