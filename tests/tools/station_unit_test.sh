#!/bin/sh
# The packaged service unit: systemd-analyze verify accepts it, and its sandbox rates "OK" or
# better (exposure below 4.0) in systemd-analyze security.
set -eu
unit="$1"
program="$2"
manual="$3"
if ! command -v systemd-analyze >/dev/null; then
    echo "systemd-analyze is not installed"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The program and its manual page as built stand in for the installed ones.
sed "s|/usr/bin/gavrel-station|$program|" "$unit" >"$work/gavrel-station.service"
mkdir -p "$work/man/man1"
cp "$manual" "$work/man/man1/"
export MANPATH="$work/man"
systemd-analyze verify "$work/gavrel-station.service"
rating=$(systemd-analyze security --offline=true "$work/gavrel-station.service" | tail -1)
echo "$rating"
exposure=$(echo "$rating" | sed -n 's/.*: \([0-9.]*\) .*/\1/p')
awk -v e="$exposure" 'BEGIN { exit !(e != "" && e < 4.0) }'
grep -qx 'AmbientCapabilities=CAP_NET_BIND_SERVICE' "$unit"
grep -qx 'CapabilityBoundingSet=CAP_NET_BIND_SERVICE' "$unit"
