#!/usr/bin/env bash
# Builds the bitmap read fuzzer with clang and runs it for a bounded time.
# Exits non-zero when the fuzzer finds a crash, a leak or a failed check.
#   scripts/fuzz.sh [--seconds N] [--build-dir DIR]
set -euo pipefail
# Japanese window titles and file names need a UTF-8 locale, whatever the caller has.
export LC_ALL=C.UTF-8
unset LANGUAGE

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The fuzzer is built within the test tree, so it needs the test frameworks too.
"$root/scripts/setup.sh" toolchain build test fuzz line
build_dir="$root/build-fuzz"
seconds=60
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift ;;
    --build-dir) build_dir="$2"; shift ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
  shift
done

CC=clang CXX=clang++ cmake -S "$root" -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGAVREL_WERROR=ON -DGAVREL_FUZZ=ON \
  -DGAVREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" --target BmpReadFuzz -j 2

# The fuzzer adds what it finds to its working corpus; the seeds in the tree stay as they are.
corpus="$build_dir/fuzz-corpus"
mkdir -p "$corpus"
cp -n "$root"/tests/fuzz/corpus/* "$corpus"/ 2>/dev/null || true

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
"$build_dir/bin/BmpReadFuzz" "$corpus" \
  -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=20 \
  -artifact_prefix="$build_dir/" -print_final_stats=1
