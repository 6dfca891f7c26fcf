#!/usr/bin/env bash
# Builds the Debian packages, checks them with lintian, installs them into a fresh Debian 12
# root and works there as a new user would: start Gavrel under Xvfb, open a sample image and
# save it into the user's picture folder.
#   scripts/package-test.sh [OUT_DIR]      the packages are left in OUT_DIR when given
# Runs as root. Kept between runs, outside the checkout (GAVREL_PACKAGE_CACHE, by default
# /var/cache/gavrel-package-test): the base root, the downloaded packages and the compiler cache.
# GAVREL_PACKAGE_REUSE=1 tests the packages of the previous run again without building.
set -euo pipefail
# Japanese window titles and file names need a UTF-8 locale, whatever the caller has.
export LC_ALL=C.UTF-8
unset LANGUAGE

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache=${GAVREL_PACKAGE_CACHE:-/var/cache/gavrel-package-test}
mirror=${GAVREL_DEBIAN_MIRROR:-http://deb.debian.org/debian}
security_mirror=${GAVREL_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}
base_max_age_days=7
say() { echo "package: $*"; }
fail() {
  echo "package: $*" >&2
  exit 1
}

# --- inside a private mount namespace: the clean-root walk --------------------------------
if [ "${1:-}" = --in-root ]; then
  work=$2
  sysroot=$work/root
  display=$3
  started=0
  mount -t proc proc "$sysroot/proc"
  mount --rbind /dev "$sysroot/dev"
  mkdir -p "$sysroot/tmp/.X11-unix"
  mount --bind /tmp/.X11-unix "$sysroot/tmp/.X11-unix"
  mount --bind "$cache/archives" "$sysroot/var/cache/apt/archives"
  cp /etc/resolv.conf "$sysroot/etc/resolv.conf"
  in_root() { chroot "$sysroot" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 "$@"; }
  as_user() {
    chroot --userspec=inspector:inspector "$sysroot" env -i PATH=/usr/bin:/bin HOME=/home/inspector \
      USER=inspector LANG=C.UTF-8 DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$@"
  }

  say "installing into a fresh Debian 12 root"
  mapfile -t debs < <(cd "$sysroot/tmp/debs" && ls ./*.deb)
  install_cmd=(apt-get install -y --no-install-recommends -o Dpkg::Use-Pty=0
    -o APT::Keep-Downloaded-Packages=true -o Dpkg::Options::=--force-unsafe-io)
  if ! (cd "$sysroot/tmp/debs" && in_root sh -c 'cd /tmp/debs && "$@"' sh "${install_cmd[@]}" "${debs[@]}") \
    >"$work/apt.log" 2>&1; then
    say "cached package lists are stale: updating"
    (in_root apt-get update && in_root sh -c 'cd /tmp/debs && "$@"' sh "${install_cmd[@]}" "${debs[@]}") \
      >>"$work/apt.log" 2>&1 || {
      cat "$work/apt.log" >&2
      fail "apt-get install of the packages failed"
    }
  fi
  grep -q 'libPelmint\.so\.1 ' <<<"$(in_root ldconfig -p)" || fail "libPelmint.so.1 is not in the library cache"
  say "installed ($((SECONDS - started)) s)"
  in_root useradd --create-home --shell /bin/sh inspector

  # Options answer without a window or a display.
  version=$(as_user env -u DISPLAY Gavrel --version) || fail "Gavrel --version failed"
  grep -q '^Gavrel [0-9]' <<<"$version" && grep -q '^Pelmint [0-9]' <<<"$version" ||
    fail "Gavrel --version says: $version"
  grep -q -- '--version' <<<"$(as_user env -u DISPLAY Gavrel --help)" || fail "Gavrel --help lists no --version"
  code=0
  as_user env -u DISPLAY Gavrel >"$work/nodisplay.out" 2>"$work/nodisplay.err" || code=$?
  [ "$code" -eq 1 ] && [ "$(wc -l <"$work/nodisplay.err")" -eq 1 ] ||
    fail "without a display Gavrel exits with $code and says: $(cat "$work/nodisplay.err")"
  say "options: $(tr '\n' ' ' <<<"$version"); without a display: $(cat "$work/nodisplay.err")"

  mean=$(as_user python3 -c 'import numpy, pelmint; print(pelmint.circle_area_average(numpy.full((480, 512), 128, numpy.uint8), 100, 100, 50))') ||
    fail "the pelmint Python module does not work"
  [ "$mean" = 128.0 ] || fail "pelmint.circle_area_average of a flat 128 image is $mean"
  say "python3-pelmint measures a flat 128 image as $mean"

  # --- the window, driven from outside like an operator ---
  export DISPLAY=":$display"
  wait_window() { # title -> window id; the first start in a fresh root is slow
    for _ in $(seq 600); do
      local id
      id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
      if [ -n "$id" ]; then sleep 0.3; echo "$id"; return 0; fi
      sleep 0.1
    done
    cat "$work/app.log" >&2
    for id in $(xdotool search --name . 2>/dev/null); do xdotool getwindowname "$id" 2>/dev/null; done >&2
    fail "no window titled '$1'"
  }
  wait_gone() { # window id
    for _ in $(seq 100); do
      xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable' || return 0
      sleep 0.1
    done
    fail "window $1 did not close"
  }
  click() { # window x y: client pixels
    local info x y
    info=$(xwininfo -id "$1")
    x=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
    y=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
    xdotool mousemove --sync $((x + $2)) $((y + $3)) click 1
    sleep 0.2
  }
  (cd "$work" && as_user sh -c 'cd && exec Gavrel' >"$work/app.log" 2>&1) &
  app_pid=$!
  chooser=$(wait_window 'ビデオ設定ファイルの選択')
  click "$chooser" $((16 + 10)) $((320 + 12)) # カメラ入力を使わない
  click "$chooser" $((392 + 68)) $((320 + 12)) # OK
  wait_gone "$chooser"
  main=$(wait_window 'KeshVovadu - 手動センサボールによる平均濃度検査')
  # The buttons sit in the inspection area under the menu bar: its top is found from the
  # first circle (blue, centred at (100, 100) of the image, whose frame is 4 pixels wide).
  import -window "$main" "$work/main.png"
  box=$(convert "$work/main.png" -crop 520x600+184+0 +repage \
    -fill black +opaque '#0000ff' -trim -format '%X %Y' info: | tr -d '+')
  read -r circle_left circle_top <<<"$box"
  # circle_left = frame + 50; circle_top = area top + 4 + frame + 50
  area_top=$((circle_top - 4 - circle_left))
  [ "$area_top" -ge 0 ] && [ "$area_top" -le 60 ] || fail "the first circle is not where it belongs ($circle_top)"

  pictures=$sysroot/home/inspector/Pictures/Gavrel
  click "$main" $((64 + 56)) $((area_top + 436 + 14)) # 画像ファイル読込
  loader=$(wait_window 'ファイル読込み')
  [ -d "$pictures" ] || fail "the open dialog did not make the picture folder $pictures"
  first=$(cd "$pictures" && ls ./*.bmp | head -n 1)
  [ -n "$first" ] || fail "the picture folder was not given the sample images"
  click "$loader" $((240 + 40)) $((72 + 8))  # the first file
  click "$loader" $((264 + 48)) $((204 + 12)) # OK
  wait_gone "$loader"
  say "opened ${first#./}"

  click "$main" $((64 + 56)) $((area_top + 472 + 14)) # 画像ファイル保存
  saver=$(wait_window 'ファイル保存')
  click "$saver" $((240 + 60)) $((24 + 10)) # the file name box
  xdotool type --delay 20 first-save
  click "$saver" $((256 + 48)) $((204 + 12)) # OK
  wait_gone "$saver"
  saved=$pictures/first-save.bmp
  for _ in $(seq 50); do [ -s "$saved" ] && break; sleep 0.1; done
  [ -s "$saved" ] || { cat "$work/app.log" >&2; fail "nothing was saved as $saved"; }
  [ "$(stat -c %U "$saved")" = "$(stat -c %U "$sysroot/home/inspector")" ] || fail "the saved file does not belong to the user"
  [ "$(identify -format '%w %h %[bit-depth]' "$saved")" = "512 480 8" ] || fail "the saved file is not a 512 x 480, 8-bit bitmap"
  differing=$(compare -metric AE "$pictures/$first" "$saved" null: 2>&1 || true)
  [ "${differing%% *}" = 0 ] || fail "the saved image differs from the opened one in $differing pixels"
  say "saved the opened image into the picture folder as inspector"

  if [ -x "$sysroot/usr/bin/gavrel-measure" ]; then
    sample=/usr/share/gavrel/images/flat-128_512x480_grey8.bmp
    rows=$(as_user gavrel-measure --format csv "$sample") || fail "gavrel-measure failed on $sample"
    grep -q "^$sample,100,100,50,.*,128,20,OK," <<<"$rows" || fail "gavrel-measure says: $rows"
    say "gavrel-measure: $(tail -n 1 <<<"$rows")"
  fi

  wmctrl -i -c "$main"
  code=0
  wait "$app_pid" || code=$?
  [ "$code" -eq 0 ] || { cat "$work/app.log" >&2; fail "Gavrel exited with $code"; }
  exit 0
fi

# --- build ---------------------------------------------------------------------------------
[ "$(id -u)" -eq 0 ] || fail "runs as root (it builds a root to install into)"
out=${1:-}
mkdir -p "$cache/archives/partial" "$cache/ccache"
work=$(mktemp -d "${TMPDIR:-/tmp}/gavrel-package-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # The root's mounts live in the namespace of the child that made them, gone once it ended.
  if grep -q " $work/" /proc/mounts; then
    echo "package: mounts left under $work; not removing it" >&2
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
started=$SECONDS

# A fixed folder outside the checkout, so that the compiler cache finds its earlier work.
stage=$cache/build
version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
source=$stage/gavrel-$version
if [ "${GAVREL_PACKAGE_REUSE:-}" = 1 ] && ls "$stage"/*.changes >/dev/null 2>&1; then
  say "reusing the packages in $stage"
else
  rm -rf "$stage"
  mkdir -p "$source"
  (cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$source")
  say "building the packages of $version"
  if ! (cd "$source" && PATH=/usr/lib/ccache:$PATH CCACHE_DIR=$cache/ccache CCACHE_BASEDIR=$stage \
    dpkg-buildpackage -b -us -uc) >"$work/build.log" 2>&1; then
    tail -n 40 "$work/build.log" >&2
    fail "dpkg-buildpackage failed"
  fi
fi
changes=$(ls "$stage"/gavrel_"$version"_*.changes)
mapfile -t debs < <(ls "$stage"/*.deb)
say "built $(cd "$stage" && ls ./*.deb | sed 's|^\./||' | tr '\n' ' ')"

# --- contents ----------------------------------------------------------------------------------
contents() { dpkg-deb -c "$stage/$1"_"$version"_*.deb | awk '{print $6}' | sed 's|^\./|/|'; }
expect() { # package pattern...
  local package=$1 pattern
  shift
  for pattern in "$@"; do
    grep -q -E "$pattern" <<<"$(contents "$package")" || fail "$package has nothing matching $pattern"
  done
}
expect libpelmint1 '^/usr/lib/[^/]+/libPelmint\.so\.1$'
expect libpelmint-dev '^/usr/include/pelmint\.h$' '^/usr/lib/[^/]+/libPelmint\.so$' \
  '/cmake/Pelmint/PelmintConfig\.cmake$' '/pkgconfig/pelmint\.pc$'
expect python3-pelmint '^/usr/lib/python3/dist-packages/pelmint/__init__\.py$'
expect gavrel '^/usr/bin/Gavrel$' '^/usr/share/gavrel/images/[^/]+\.bmp$' \
  '^/usr/share/gavrel/video/[^/]+\.ini$' '^/usr/share/man/man1/Gavrel\.1\.gz$' \
  '^/usr/share/doc/gavrel/copyright$' '^/usr/share/applications/gavrel\.desktop$'
for package in libpelmint1 libpelmint-dev gavrel python3-pelmint; do
  stray=$(contents "$package" | grep -E '^/usr/lib/' |
    grep -v -E '/$|/libPelmint\.so|/cmake/Pelmint/|/pkgconfig/|^/usr/lib/python3/dist-packages/pelmint/' || true)
  [ -z "$stray" ] || fail "$package puts other files under /usr/lib: $stray"
done
[ "$(dpkg-deb -f "$(ls "$stage"/libpelmint1_*.deb)" Package)" = libpelmint1 ] || fail "no libpelmint1"
ls "$stage"/gavrel-dbgsym_*.deb "$stage"/libpelmint1-dbgsym_*.deb >/dev/null || fail "no separate debug symbols"

say "lintian ($((SECONDS - started)) s)"
lintian --fail-on error,warning --display-info --tag-display-limit 0 "$changes" 2>&1 | tee "$work/lintian.log" ||
  fail "lintian reports errors or warnings"
[ -n "$out" ] && mkdir -p "$out" && cp "${debs[@]}" "$changes" "$out/"

# --- the clean root --------------------------------------------------------------------------
base=$cache/bookworm-base.tar
if [ ! -s "$base" ] || [ -n "$(find "$base" -mtime +"$base_max_age_days")" ]; then
  say "making the Debian 12 base root (cached in $cache)"
  mmdebstrap --variant=apt --include=passwd --skip=cleanup/apt/lists \
    bookworm "$work/base.tar" \
    "deb $mirror bookworm main" "deb $mirror bookworm-updates main" \
    "deb $security_mirror bookworm-security main" >"$work/mmdebstrap.log" 2>&1 || {
    tail -n 20 "$work/mmdebstrap.log" >&2
    fail "mmdebstrap failed"
  }
  mv "$work/base.tar" "$base"
fi
say "unpacking the base root ($((SECONDS - started)) s)"
mkdir "$work/root"
tar -C "$work/root" -xf "$base"
mkdir -p "$work/root/tmp/debs"
for deb in "${debs[@]}"; do
  case "$deb" in *-dbgsym_*) ;; *) cp "$deb" "$work/root/tmp/debs/" ;; esac
done

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start"
display=$(cat "$work/display")
DISPLAY=":$display" openbox >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do DISPLAY=":$display" wmctrl -m >/dev/null 2>&1 && break; sleep 0.05; done

SECONDS=$((SECONDS - started)) unshare --mount --propagation private "$0" --in-root "$work" "$display" ||
  fail "the clean-root walk failed"
say "passed in $((SECONDS - started)) s"
