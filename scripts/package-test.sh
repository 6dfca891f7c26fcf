#!/usr/bin/env bash
# Makes the source package, builds the binary packages from it inside a clean Debian 12 root
# that has only build-essential and the declared Build-Depends (as a build daemon would, so a
# missing Build-Depends fails here), checks them with lintian, installs them into another fresh
# Debian 12 root and works there as a new user would: the package's own tests
# (debian/tests), Gavrel started under Xvfb to open a sample image and save it into the user's
# picture folder, a TIFF measured, and a record kept in PostgreSQL once its driver is there.
#   scripts/package-test.sh [OUT_DIR]      the packages are left in OUT_DIR when given
# Runs as root. Kept between runs, outside the checkout (GAVREL_PACKAGE_CACHE, by default
# /var/cache/gavrel-package-test): the base root, the downloaded packages and the compiler cache.
# GAVREL_PACKAGE_REUSE=1 tests the packages of the previous run again without building.
# The Debian archive is the one this machine's apt uses; GAVREL_DEBIAN_MIRROR and
# GAVREL_DEBIAN_SECURITY_MIRROR override it.
set -euo pipefail
# Japanese window titles and file names need a UTF-8 locale, whatever the caller has.
export LC_ALL=C.UTF-8
unset LANGUAGE

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache=${GAVREL_PACKAGE_CACHE:-/var/cache/gavrel-package-test}
suite=bookworm
base_max_age_days=7
# The build user's id, fixed so that the compiler cache kept between runs stays its own.
builder_uid=2000
say() { echo "package: $*"; }
fail() {
  echo "package: $*" >&2
  exit 1
}

# The machine's own apt sources, as "URI SUITE" lines: one-line sources.list files and deb822
# .sources files, binary entries only.
apt_sources() {
  local file
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -r "$file" ] || continue
    sed -E 's/#.*//; s/\[[^]]*\]//' "$file" | awk '$1 == "deb" && NF >= 3 { print $2, $3 }'
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -r "$file" ] || continue
    awk '
      function flush(  n, m, i, j, u, s) {
        if (types ~ /(^|[ \t])deb([ \t]|$)/ && enabled != "no") {
          n = split(uris, u); m = split(suites, s)
          for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) print u[i], s[j]
        }
        types = uris = suites = last = ""; enabled = "yes"
      }
      BEGIN { enabled = "yes" }
      /^#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[^ \t][^:]*:/ {
        last = tolower(substr($0, 1, index($0, ":") - 1)); value = substr($0, index($0, ":") + 1)
        if (last == "types") types = value
        else if (last == "uris") uris = value
        else if (last == "suites") suites = value
        else if (last == "enabled") enabled = tolower(value)
        gsub(/[ \t]/, "", enabled)
        next
      }
      /^[ \t]/ { if (last == "uris") uris = uris " " $0; else if (last == "suites") suites = suites " " $0 }
      END { flush() }' "$file"
  done
}
# The first archive of the machine that serves the suite.
mirror_for() { apt_sources | awk -v suite="$1" '$2 == suite { print $1; exit }'; }

# Mounts what a chroot needs; only ever called inside the private mount namespace.
prepare_root() { # root folder
  mount -t proc proc "$1/proc"
  mount --rbind /dev "$1/dev"
  mount --bind "$cache/archives" "$1/var/cache/apt/archives"
  cp /etc/resolv.conf "$1/etc/resolv.conf"
}
# apt-get install in a root, from the package lists of the base root and, when they are stale,
# from fresh ones.
root_install() { # root folder, log file, apt-get arguments...
  local sysroot=$1 log=$2
  shift 2
  local install_cmd=(apt-get -y --no-install-recommends -o Dpkg::Use-Pty=0
    -o APT::Keep-Downloaded-Packages=true -o Dpkg::Options::=--force-unsafe-io)
  in_dir() { chroot "$sysroot" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive sh -c 'cd /tmp && "$@"' sh "$@"; }
  if ! in_dir "${install_cmd[@]}" "$@" >>"$log" 2>&1; then
    say "cached package lists are stale: updating"
    (in_dir apt-get update && in_dir "${install_cmd[@]}" "$@") >>"$log" 2>&1 || {
      tail -n 40 "$log" >&2
      fail "apt-get ${*:1:3}... failed in the clean root"
    }
  fi
}

# --- inside a private mount namespace: the build from the source package ------------------
if [ "${1:-}" = --build-in-root ]; then
  work=$2
  sysroot=$work/build-root
  dsc=$3
  prepare_root "$sysroot"
  mkdir -p "$sysroot/ccache"
  mount --bind "$cache/ccache" "$sysroot/ccache"
  in_root() { chroot "$sysroot" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 "$@"; }
  say "installing build-essential and the declared Build-Depends"
  # ccache only wraps the compiler: it brings no header or library a Build-Depends could lack.
  root_install "$sysroot" "$work/build-deps.log" install build-essential ccache
  root_install "$sysroot" "$work/build-deps.log" build-dep "/build/$dsc"
  in_root useradd --uid "$builder_uid" --create-home --shell /bin/sh builder
  chown -R "$builder_uid:$builder_uid" "$sysroot/build" "$sysroot/ccache"
  say "building from $dsc inside the clean root ($SECONDS s)"
  # debhelper names the compiler to CMake by its full name; the launcher puts ccache before it.
  chroot --userspec="$builder_uid:$builder_uid" "$sysroot" env -i PATH=/usr/bin:/bin \
    HOME=/home/builder LC_ALL=C.UTF-8 CCACHE_DIR=/ccache CCACHE_BASEDIR=/build \
    CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache \
    DEB_BUILD_OPTIONS="parallel=$(nproc)" sh -c \
    'cd /build && dpkg-source -x "$1" source >/dev/null && cd source && dpkg-buildpackage -b -us -uc' \
    sh "$dsc" >"$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log" >&2
    fail "dpkg-buildpackage failed in the clean root (see the Build-Depends in debian/control)"
  }
  exit 0
fi

# --- inside a private mount namespace: the clean-root walk --------------------------------
if [ "${1:-}" = --in-root ]; then
  work=$2
  sysroot=$work/root
  display=$3
  pg_port=$4
  started=0
  prepare_root "$sysroot"
  mkdir -p "$sysroot/tmp/.X11-unix"
  mount --bind /tmp/.X11-unix "$sysroot/tmp/.X11-unix"
  in_root() { chroot "$sysroot" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 "$@"; }
  as_user() {
    chroot --userspec=inspector:inspector "$sysroot" env -i PATH=/usr/bin:/bin HOME=/home/inspector \
      USER=inspector LANG=C.UTF-8 DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$@"
  }

  # Without Recommends: what Depends declares must be enough for everything but PostgreSQL.
  say "installing into a fresh Debian 12 root"
  mapfile -t debs < <(cd "$sysroot/tmp/debs" && ls ./*.deb | sed 's|^\./|/tmp/debs/|')
  root_install "$sysroot" "$work/apt.log" install "${debs[@]}"
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

  # The package's own tests: the programs on a BMP and a TIFF, the Python module and its metadata.
  cp "$root/debian/tests/programs" "$sysroot/tmp/programs-test"
  as_user env -u DISPLAY sh /tmp/programs-test >"$work/programs.log" 2>&1 || {
    cat "$work/programs.log" >&2
    fail "debian/tests/programs failed in the clean root"
  }
  sed 's/^/package:   /' "$work/programs.log"

  # PostgreSQL is recommended, not required: without the driver the record says what to install;
  # with it, a record goes into a throwaway server of the user's own on loopback.
  url=postgresql://inspector@127.0.0.1:$pg_port/postgres
  # The row waits in the spool, and the next run delivers it.
  said=$(as_user env -u DISPLAY gavrel-measure --record "$url" /usr/share/gavrel/images/flat-128_512x480_grey8.bmp 2>&1 >/dev/null || true)
  grep -q 'install libqt6sql6-psql' <<<"$said" || fail "without the PostgreSQL driver gavrel-measure says: $said"
  say "without the driver: $(tail -n 1 <<<"$said")"
  root_install "$sysroot" "$work/apt.log" install libqt6sql6-psql postgresql-15
  as_user sh -c 'set -e; /usr/lib/postgresql/15/bin/initdb -D "$HOME/pg" -A trust -U inspector >/dev/null
    /usr/lib/postgresql/15/bin/pg_ctl -D "$HOME/pg" -l "$HOME/pg.log" -w \
      -o "-c listen_addresses=127.0.0.1 -p $1 -k /tmp" start >/dev/null' sh "$pg_port" ||
    fail "the throwaway PostgreSQL server did not start"
  stop_postgres() { as_user /usr/lib/postgresql/15/bin/pg_ctl -D /home/inspector/pg -m fast stop >/dev/null 2>&1 || true; }
  trap stop_postgres EXIT
  as_user env -u DISPLAY gavrel-measure --record "$url" /usr/share/gavrel/images/flat-128_512x480_grey8.bmp \
    >"$work/record.out" 2>&1 || { cat "$work/record.out" >&2; fail "gavrel-measure --record $url failed"; }
  exported=$(as_user env -u DISPLAY gavrel-measure --export "$url") || fail "gavrel-measure --export $url failed"
  grep -q 'flat-128_512x480_grey8\.bmp' <<<"$exported" || fail "the PostgreSQL record holds: $exported"
  say "recorded into PostgreSQL and exported: $(tail -n 1 <<<"$exported")"

  # The headless station as the package installs it: the test pattern judged continuously,
  # recorded in SQLite and published to a broker of the root's own on loopback.
  root_install "$sysroot" "$work/apt.log" install mosquitto mosquitto-clients
  broker_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  as_user sh -c 'printf "%s" "{\"format\":\"gavrel-recipe\",\"version\":1,\"name\":\"clean\",\"circle\":{\"x\":256,\"y\":240,\"r\":40},\"standard\":128,\"tolerance\":20}" >"$HOME/clean.gavrel-recipe"
    printf "[station]\nname=clean-root\nmode=continuous\nrecipe=%s\ncamera=/usr/share/gavrel/video/test-pattern.ini\nrecord=sqlite://%s\nstate=%s\n[mqtt]\nenabled=true\nurl=mqtt://127.0.0.1:%s\n" \
      "$HOME/clean.gavrel-recipe" "$HOME/station.sqlite" "$HOME/station" "$1" >"$HOME/station.conf"' sh "$broker_port"
  as_user env -u DISPLAY /usr/sbin/mosquitto -p "$broker_port" >"$work/broker.log" 2>&1 &
  # The broker itself, not the shell that started it in the root.
  stop_broker() { pkill -TERM -f "^/usr/sbin/mosquitto -p $broker_port\$" || true; }
  python3 - "$broker_port" <<'PY' || fail "the root's broker did not start: $(cat "$work/broker.log")"
import socket, sys, time
for _ in range(200):
    try:
        socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=1).close()
        sys.exit(0)
    except OSError:
        time.sleep(0.05)
sys.exit(1)
PY
  as_user env -u DISPLAY mosquitto_sub -h 127.0.0.1 -p "$broker_port" -t 'gavrel/clean-root/judgement' \
    -C 3 -W 60 >"$work/judgements.json" 2>&1 &
  subscriber=$!
  sleep 0.5
  as_user env -u DISPLAY gavrel-station --config /home/inspector/station.conf >"$work/station.log" 2>&1 &
  station=$!
  wait "$subscriber" || {
    cat "$work/station.log" "$work/judgements.json" "$work/broker.log" >&2
    kill "$station" 2>/dev/null
    stop_broker
    fail "no judgement reached the broker from gavrel-station"
  }
  # The station itself, not the shell that started it in the root.
  pkill -TERM -f '^gavrel-station --config /home/inspector/station.conf' ||
    fail "gavrel-station was not running: $(cat "$work/station.log")"
  wait "$station" || { cat "$work/station.log" >&2; stop_broker; fail "gavrel-station did not stop cleanly on SIGTERM"; }
  stop_broker
  grep -q '"verdict"' "$work/judgements.json" || fail "the broker received: $(cat "$work/judgements.json")"
  say "gavrel-station published $(wc -l <"$work/judgements.json") judgements, e.g. $(head -c 160 "$work/judgements.json")"

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

  wmctrl -i -c "$main"
  code=0
  wait "$app_pid" || code=$?
  [ "$code" -eq 0 ] || { cat "$work/app.log" >&2; fail "Gavrel exited with $code"; }
  exit 0
fi

# --- the base root ---------------------------------------------------------------------------
[ "$(id -u)" -eq 0 ] || fail "runs as root (it builds the roots to build and install in)"
"$root/scripts/setup.sh" package window
out=${1:-}
mkdir -p "$cache/archives/partial" "$cache/ccache"
work=$(mktemp -d "${TMPDIR:-/tmp}/gavrel-package-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # The roots' mounts live in the namespace of the child that made them, gone once it ended.
  if grep -q " $work/" /proc/mounts; then
    echo "package: mounts left under $work; not removing it" >&2
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
started=$SECONDS

base=$cache/$suite-base.tar
if [ ! -s "$base" ] || [ -n "$(find "$base" -mtime +"$base_max_age_days")" ]; then
  mirror=${GAVREL_DEBIAN_MIRROR:-$(mirror_for "$suite")}
  security_mirror=${GAVREL_DEBIAN_SECURITY_MIRROR:-$(mirror_for "$suite-security")}
  [ -n "$mirror" ] && [ -n "$security_mirror" ] ||
    fail "this machine's apt sources name no archive for $suite and $suite-security: set GAVREL_DEBIAN_MIRROR and GAVREL_DEBIAN_SECURITY_MIRROR"
  say "making the Debian 12 base root from $mirror (cached in $cache)"
  mmdebstrap --variant=apt --include=passwd --skip=cleanup/apt/lists \
    "$suite" "$work/base.tar" \
    "deb $mirror $suite main" "deb $mirror $suite-updates main" \
    "deb $security_mirror $suite-security main" >"$work/mmdebstrap.log" 2>&1 || {
    tail -n 20 "$work/mmdebstrap.log" >&2
    fail "mmdebstrap failed"
  }
  mv "$work/base.tar" "$base"
fi

# --- build: the source package on the host, the binary packages inside a clean root ----------
stage=$cache/build
version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
if [ "${GAVREL_PACKAGE_REUSE:-}" = 1 ] && ls "$stage"/*.changes >/dev/null 2>&1; then
  say "reusing the packages in $stage"
else
  rm -rf "$stage"
  mkdir -p "$stage/gavrel-$version"
  (cd "$root" && git ls-files -z --cached --others --exclude-standard |
    xargs -0 cp --parents -t "$stage/gavrel-$version")
  (cd "$stage" && dpkg-source -b "gavrel-$version" >/dev/null) || fail "dpkg-source -b failed"
  rm -rf "$stage/gavrel-$version"
  dsc=gavrel_$version.dsc
  say "unpacking the base root to build $dsc in ($((SECONDS - started)) s)"
  mkdir -p "$work/build-root"
  tar -C "$work/build-root" -xf "$base"
  mkdir -p "$work/build-root/build"
  cp "$stage/$dsc" "$stage"/gavrel_"$version".tar.* "$work/build-root/build/"
  SECONDS=$((SECONDS - started)) unshare --mount --propagation private "$0" --build-in-root "$work" "$dsc" ||
    fail "the build in the clean root failed"
  cp "$work/build-root/build"/*.deb "$work/build-root/build"/*.changes "$work/build-root/build"/*.buildinfo "$stage/"
  rm -rf "$work/build-root"
fi
changes=$(ls "$stage"/gavrel_"$version"_*.changes)
mapfile -t debs < <(ls "$stage"/*.deb)
say "built $(cd "$stage" && ls ./*.deb | sed 's|^\./||' | tr '\n' ' ')($((SECONDS - started)) s)"
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
expect python3-pelmint '^/usr/lib/python3/dist-packages/pelmint/__init__\.py$' \
  '^/usr/lib/python3/dist-packages/pelmint-[0-9.]+\.dist-info/METADATA$'
expect gavrel '^/usr/bin/Gavrel$' '^/usr/share/gavrel/images/[^/]+\.bmp$' \
  '^/usr/share/gavrel/video/[^/]+\.ini$' '^/usr/share/man/man1/Gavrel\.1\.gz$' \
  '^/usr/share/doc/gavrel/copyright$' '^/usr/share/applications/gavrel\.desktop$' \
  '^/usr/share/doc/gavrel/README\.md$' '^/usr/share/metainfo/org\.gavrel\.gavrel\.metainfo\.xml$' \
  '^/usr/share/mime/packages/gavrel\.xml$' '^/usr/share/man/man1/gavrel-measure\.1\.gz$'
for package in libpelmint1 libpelmint-dev gavrel python3-pelmint; do
  stray=$(contents "$package" | grep -E '^/usr/lib/' |
    grep -v -E '/$|/libPelmint\.so|/cmake/Pelmint/|/pkgconfig/|^/usr/lib/python3/dist-packages/pelmint(/|-[0-9.]+\.dist-info/)' || true)
  [ -z "$stray" ] || fail "$package puts other files under /usr/lib: $stray"
done
[ "$(dpkg-deb -f "$(ls "$stage"/libpelmint1_*.deb)" Package)" = libpelmint1 ] || fail "no libpelmint1"
ls "$stage"/gavrel-dbgsym_*.deb "$stage"/libpelmint1-dbgsym_*.deb >/dev/null || fail "no separate debug symbols"

say "lintian ($((SECONDS - started)) s)"
lintian --fail-on error,warning --display-info --tag-display-limit 0 "$changes" 2>&1 | tee "$work/lintian.log" ||
  fail "lintian reports errors or warnings"
[ -n "$out" ] && mkdir -p "$out" && cp "${debs[@]}" "$changes" "$out/"

# --- the clean root to install in ------------------------------------------------------------
say "unpacking the base root to install in ($((SECONDS - started)) s)"
mkdir "$work/root"
tar -C "$work/root" -xf "$base"
mkdir -p "$work/root/tmp/debs"
for deb in "${debs[@]}"; do
  case "$deb" in *-dbgsym_*) ;; *) cp "$deb" "$work/root/tmp/debs/" ;; esac
done
# A free loopback port for the root's throwaway PostgreSQL server.
pg_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start"
display=$(cat "$work/display")
DISPLAY=":$display" openbox >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do DISPLAY=":$display" wmctrl -m >/dev/null 2>&1 && break; sleep 0.05; done

SECONDS=$((SECONDS - started)) unshare --mount --propagation private "$0" --in-root "$work" "$display" "$pg_port" ||
  fail "the clean-root walk failed"
say "passed in $((SECONDS - started)) s"
