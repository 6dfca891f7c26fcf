#!/usr/bin/env bash
# Installs what is missing, builds Gavrel and starts it.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" toolchain build run line
"$root/scripts/build.sh" -DGAVREL_BUILD_TESTS=OFF -DGAVREL_BUILD_BENCH=OFF >/dev/null
exec "$root/build/bin/Gavrel" "$@"
