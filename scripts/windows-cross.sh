#!/usr/bin/env bash
# Cross-compiles Pelmint for Windows with MinGW-w64: the 64-bit DLL runs the exactness check under
# Wine, and both DLLs must export the three functions by their plain names (the 32-bit stdcall
# ones without the _name@bytes decoration).
#   scripts/windows-cross.sh [work-folder]     default: build-windows/
set -euo pipefail
export LC_ALL=C.UTF-8

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" toolchain windows
work=${1:-$root/build-windows}
exports=(CircleAreaAverage CircleAreaStatistics PelmintVersion)
fail=0

for arch in x86_64 i686; do
  build="$work/$arch"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64.cmake" -DGAVREL_MINGW_ARCH="$arch" \
    -DGAVREL_WERROR=ON -DGAVREL_BUILD_APP=OFF -DGAVREL_BUILD_TESTS=OFF -DGAVREL_BUILD_BENCH=OFF \
    >/dev/null
  cmake --build "$build" --target Pelmint
  dll="$build/bin/Pelmint.dll"

  table=$("$arch-w64-mingw32-objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
  names=$(awk '/\]/ && NF >= 3 {print $NF}' <<<"$table" | grep -v 'Table' | sort)
  echo "$arch exports: $(tr '\n' ' ' <<<"$names")"
  if [[ "$names" != "$(printf '%s\n' "${exports[@]}" | sort)" ]]; then
    echo "windows-cross: $arch DLL exports are not exactly ${exports[*]}" >&2
    fail=1
  fi
done

# The exactness check, built for 64-bit Windows against the DLL, run under Wine without a display.
build="$work/x86_64"
x86_64-w64-mingw32-g++ -std=c++20 -O2 -Wall -Wextra -Werror -static-libgcc \
  -static-libstdc++ -I"$root/measure/include" -I"$root/tests/measure" \
  "$root/tests/measure/pelmint_exactness_check.cpp" -L"$build/bin" -L"$build/measure" -lPelmint \
  -o "$build/bin/PelmintExactnessCheck.exe"
# Debian's wine64 package keeps the loader out of the PATH.
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
if ! (cd "$build/bin" && WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
      DISPLAY= timeout 300 "$wine" PelmintExactnessCheck.exe); then
  echo "windows-cross: the exactness check failed under Wine" >&2
  fail=1
fi
WINEPREFIX="$prefix" "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
exit $fail
