#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks its contents and starts the
# packaged program from a temporary root under Xvfb.
#   scripts/package-test.sh [BUILD_DIR]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-$root/build}
work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$build_dir" && cpack -G DEB -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/gavrel_*.deb)
echo "package: $(basename "$deb")"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' > "$work/contents"
fail=0
for wanted in \
    '/bin/Gavrel$' \
    '/gavrel/Gavrel$' \
    '/gavrel/libPelmint.so.1$' \
    '/lib/[^/]*/*libPelmint.so$' \
    '/lib/[^/]*/*libPelmint.so.1$' \
    '/pkgconfig/pelmint.pc$' \
    '/include/pelmint.h$' \
    '/cmake/Pelmint/PelmintConfig.cmake$' \
    '/gavrel/[^/]*\.bmp$' \
    '/gavrel/video/[^/]*\.ini$' \
    '/applications/gavrel.desktop$' \
    '/icons/hicolor/.*/gavrel\.svg$'; do
  if ! grep -q -E "$wanted" "$work/contents"; then
    echo "package: nothing matches $wanted" >&2
    fail=1
  fi
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for wanted in libqt6widgets6 libgstreamer1.0-0 gstreamer1.0-plugins-good fonts-noto-cjk; do
  case "$depends" in *"$wanted"*) ;; *) echo "package: does not depend on $wanted" >&2; fail=1 ;; esac
done
[ "$fail" -eq 0 ] || exit 1

# Start the packaged program from a temporary root: it must come up with its chooser.
dpkg-deb -x "$deb" "$work/root"
launcher=$(find "$work/root" -path '*/bin/Gavrel')
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
(cd "$work" && QT_QPA_PLATFORM=xcb exec "$launcher" >"$work/app.log" 2>&1) &
app_pid=$!
for _ in $(seq 100); do
  if xdotool search --name 'ビデオ設定ファイルの選択' >/dev/null 2>&1; then
    echo "package: the installed program is up"
    exit 0
  fi
  sleep 0.1
done
echo "package: the installed program did not show its first window" >&2
cat "$work/app.log" >&2
exit 1
