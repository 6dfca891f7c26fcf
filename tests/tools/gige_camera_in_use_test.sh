#!/bin/sh
# One camera, two programs: Aravis's simulated GigE Vision camera through
# samples/video/gige-camera.ini. While gavrel-station streams from it and goes on judging,
# gavrel-measure is refused with the camera's usual error (status 4, the source fails to
# start) within its open timeout; once the station has stopped, gavrel-measure takes frames.
# A second station beside the first logs its usual camera failure and tries again without
# disturbing the first or holding up its own stop, and takes the camera once the first has
# stopped. The camera's clients run as an unprivileged user when the test runs as root (see
# gige_camera_test.sh).
set -eu
station="$1"
measure="$2"
sample="$3"
if ! command -v arv-fake-gv-camera-0.8 >/dev/null || ! gst-inspect-1.0 aravissrc >/dev/null 2>&1
then
    echo "aravis-tools or the Aravis GStreamer source is not installed"
    exit 77
fi
if ! command -v mbpoll >/dev/null; then
    echo "mbpoll is not installed"
    exit 77
fi
work=$(mktemp -d)
camera=""
pid_a=""
pid_b=""
cleanup() {
    for pid in $pid_a $pid_b $camera; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "$1"
    for name in a b; do
        echo "--- station $name"
        cat "$work/$name.log" 2>/dev/null || true
    done
    echo "--- the simulated camera said"
    tail -20 "$work/camera.log"
    exit 1
}

arv-fake-gv-camera-0.8 -i 127.0.0.1 >"$work/camera.log" 2>&1 &
camera=$!
# The simulated camera can miss its frame clock for seconds on a busy host; the timeouts of the
# sample are for a real camera, so the copy under test waits longer for frames.
sed -e 's/^CaptureTimeoutMs=.*/CaptureTimeoutMs=15000/' \
    -e 's/^OpenTimeoutMs=.*/OpenTimeoutMs=20000/' "$sample" >"$work/gige-camera.ini"
grep -q '^Pipeline=aravissrc' "$work/gige-camera.ini"
grep -q '^OpenTimeoutMs=20000' "$work/gige-camera.ini"
printf '%s' '{"format":"gavrel-recipe","version":1,"name":"cap","slot":1,"circle":{"x":256,"y":240,"r":40},"standard":128,"tolerance":128}' \
    >"$work/cap.gavrel-recipe"
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
port_a=$(free_port)
port_b=$(free_port)
port_of() {
    if [ "$1" = a ]; then echo "$port_a"; else echo "$port_b"; fi
}
for name in a b; do
    mkdir "$work/state-$name"
    cat >"$work/$name.conf" <<EOF
[station]
name=line-$name
mode=continuous
recipe=$work/cap.gavrel-recipe
camera=$work/gige-camera.ini
state=$work/state-$name
[modbus]
enabled=true
address=127.0.0.1
port=$(port_of $name)
EOF
done
mkdir "$work/home"
chmod 755 "$work"
chmod 644 "$work"/*.ini "$work"/*.conf "$work"/*.gavrel-recipe
# The programs keep their settings and spool in the test's folder.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home" XDG_DATA_HOME="$work/home"
# setpriv replaces itself with the program: one started in the background as $as_user PROGRAM
# is $! itself and gets the signals sent to it.
as_user=""
if [ "$(id -u)" = 0 ]; then
    as_user="setpriv --reuid=nobody --regid=nogroup --clear-groups --"
    chown nobody "$work/home" "$work/state-a" "$work/state-b"
fi

tries=0
until $as_user timeout 10 arv-tool-0.8 2>/dev/null | grep -q Fake; do
    tries=$((tries + 1))
    [ $tries -lt 10 ] || fail "the simulated camera did not answer"
    sleep 0.5
done

# A station's judgement number (input registers 0-1): sequence a|b
sequence() {
    mbpoll -m tcp -0 -t 3 -r 0 -c 2 -1 -o 2 -p "$(port_of "$1")" 127.0.0.1 2>/dev/null |
        awk '/^\[0\]:/ { high = $2 } /^\[1\]:/ { low = $2 } END { print high * 65536 + low }'
}
# judges_past a|b NUMBER SECONDS: the station's judgement number passes NUMBER in time.
judges_past() {
    waited=0
    while [ "$(sequence "$1")" -le "$2" ]; do
        waited=$((waited + 1))
        [ $waited -lt $(($3 * 2)) ] || return 1
        sleep 0.5
    done
}
# logs a|b PATTERN SECONDS: the station's log holds a line matching PATTERN in time.
logs() {
    waited=0
    until grep -q "$2" "$work/$1.log"; do
        waited=$((waited + 1))
        [ $waited -lt $(($3 * 2)) ] || return 1
        sleep 0.5
    done
}
# lost_camera a|b: the station's camera failed after it had opened.
lost_camera() {
    sed -n '/camera .*ini open$/,$p' "$work/$1.log" | grep -q 'failed'
}
start_station() {
    # Emptied here: the child's own redirection may come after the next look at the log.
    : >"$work/$1.log"
    $as_user "$station" --config "$work/$1.conf" >>"$work/$1.log" 2>&1 &
    eval "pid_$1=\$!"
}
# stop_station a|b: SIGTERM, and it ends well; stop_took is the milliseconds it took.
stop_station() {
    eval "pid=\$pid_$1"
    started=$(date +%s%N)
    kill -TERM "$pid"
    status=0
    wait "$pid" || status=$?
    eval "pid_$1="
    stop_took=$((($(date +%s%N) - started) / 1000000))
    [ "$status" -eq 0 ] || fail "station $1 exited with $status"
}
take_frames() {
    $as_user timeout 120 "$measure" --camera "$work/gige-camera.ini" --frames "$1" \
        --standard 128 --tolerance 128 --format csv
}
in_use_error="camera .* failed (status 4): .*; trying again"

# 1. Station a holds the camera and judges.
start_station a
logs a "camera .*ini open$" 60 || fail "station a did not open the camera"
judges_past a 0 30 || fail "station a does not judge"

# 2. A second program is refused with the camera's usual error, within its open timeout.
before=$(sequence a)
started=$(date +%s)
status=0
take_frames 3 >"$work/refused.csv" 2>"$work/refused.err" || status=$?
took=$(($(date +%s) - started))
cat "$work/refused.err"
[ "$status" -eq 2 ] || fail "gavrel-measure exited with $status beside the station, not 2"
grep -q 'the source fails to start.*(ErrCode=4)' "$work/refused.err" ||
    fail "gavrel-measure did not report the camera's usual error"
[ "$(grep -c ',ERROR,' "$work/refused.csv")" -eq 1 ] || fail "expected one ERROR row"
! grep -q ',OK,\|,NG,' "$work/refused.csv" || fail "gavrel-measure got frames from a camera in use"
# The open timeout is 20 s and closing 2 s: the refusal is the camera's, not a timeout of ours.
[ "$took" -lt 23 ] || fail "the refusal took $took s"

# 3. Station a never lost its camera and went on judging.
judges_past a "$before" 30 || fail "station a stopped judging after the refusal"
! lost_camera a || fail "station a lost its camera"

# 4. Once the station has let go, the other program takes frames.
stop_station a
# A station that ends before Aravis has let go of the camera (closing waits 2 s, then goes on
# in the background) leaves the camera to free itself when its heartbeat lapses, seconds later.
tries=0
until take_frames 3 >"$work/rows.csv" 2>"$work/rows.err"; do
    cat "$work/rows.err"
    grep -q '(ErrCode=4)' "$work/rows.err" || fail "gavrel-measure failed after the station stopped"
    tries=$((tries + 1))
    [ $tries -lt 4 ] || fail "the camera stayed in use after the station stopped"
    sleep 1
done
[ "$(grep -c 'gige-camera.ini#[0-9]*,.*,OK,' "$work/rows.csv")" -eq 3 ] ||
    fail "expected 3 frames after the station stopped"

# 5. Two stations: b logs its usual camera failure and tries again while a judges on. (Station
# a may find the camera still held by gavrel-measure's Aravis for a few seconds: it retries.)
start_station a
logs a "camera .*ini open$" 60 || fail "station a did not open the camera again"
start_station b
logs b "$in_use_error" 60 || fail "station b did not report the camera in use"
# Trying again does not hold up a stop: stopped in the middle of its next try (2 s after the
# failure, and a refusal takes about 5 s), b ends within its camera's close timeout (2 s) and
# some slack, not once the open has been refused.
sleep 4
stop_station b
[ "$stop_took" -lt 4000 ] || fail "station b took $stop_took ms to stop while the camera was in use"
start_station b
logs b "$in_use_error" 60 || fail "station b did not report the camera in use again"
before=$(sequence a)
judges_past a "$before" 30 || fail "station a stopped judging beside station b"
! lost_camera a || fail "station a lost its camera to station b"

# 6. Once a has stopped, b takes the camera and judges.
stop_station a
logs b "camera .*ini open$" 60 || fail "station b did not take the camera once it was free"
judges_past b 0 30 || fail "station b does not judge"
stop_station b
cat "$work/b.log"
