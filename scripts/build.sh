#!/usr/bin/env bash
# Configures and builds Gavrel into a build folder.
#   scripts/build.sh [--sanitize] [--build-dir DIR] [extra cmake options...]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir="$root/build"
options=(-DGAVREL_WERROR=ON)
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) build_dir="$root/build-asan"; options+=(-DGAVREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
    --build-dir) build_dir="$2"; shift ;;
    *) options+=("$1") ;;
  esac
  shift
done
case " ${options[*]} " in
  *CMAKE_BUILD_TYPE*) ;;
  *) options+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
esac

# Progress goes to stderr; stdout carries only the build folder, for the other scripts.
cmake -S "$root" -B "$build_dir" -G Ninja "${options[@]}" >&2
cmake --build "$build_dir" >&2
echo "$build_dir"
