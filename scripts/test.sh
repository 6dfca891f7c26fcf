#!/usr/bin/env bash
# Installs what is missing, builds Gavrel with its tests and runs every test.
#   scripts/test.sh              plain build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
# Japanese window titles and file names need a UTF-8 locale, whatever the caller has.
export LC_ALL=C.UTF-8
unset LANGUAGE

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# What the tests need and nothing else: no cross compiler, no packaging tools.
"$root/scripts/setup.sh" toolchain build run test window line
build_dir=$("$root/scripts/build.sh" -DGAVREL_BUILD_TESTS=ON -DGAVREL_BUILD_BENCH=ON "$@" | tail -n 1)

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}"
# GLib's slice allocator would keep leaked GStreamer objects inside its own pages.
export G_SLICE="${G_SLICE:-always-malloc}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir "$build_dir" --output-on-failure --no-tests=error -j "$(nproc)"
