#!/bin/sh
# One camera, two programs: Aravis's simulated GigE Vision camera through
# samples/video/gige-camera.ini. While gavrel-station streams from it and goes on judging,
# gavrel-measure is refused with the camera's usual error (status 4, the source fails to
# start) within its open timeout; once the station has stopped, gavrel-measure takes frames.
# The other way round, the station logs its usual camera failure while gavrel-measure holds
# the camera, and opens it once gavrel-measure is done. The camera's clients run as an
# unprivileged user when the test runs as root (see gige_camera_test.sh).
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
station_pid=""
measure_pid=""
cleanup() {
    for pid in $measure_pid $station_pid $camera; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "$1"
    echo "--- station log"
    cat "$work/station.log" 2>/dev/null || true
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
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/station.conf" <<EOF
[station]
name=line-1
mode=continuous
recipe=$work/cap.gavrel-recipe
camera=$work/gige-camera.ini
state=$work/state
[modbus]
enabled=true
address=127.0.0.1
port=$port
EOF
mkdir "$work/state"
chmod 755 "$work"
chmod 644 "$work"/*.ini "$work"/*.conf "$work"/*.gavrel-recipe
# The programs keep their settings and spool in the test's folder.
export HOME="$work/state" XDG_CONFIG_HOME="$work/state" XDG_DATA_HOME="$work/state"
# setpriv replaces itself with the program: one started in the background as $as_user PROGRAM
# is $! itself and gets the signals sent to it.
as_user=""
if [ "$(id -u)" = 0 ]; then
    as_user="setpriv --reuid=nobody --regid=nogroup --clear-groups --"
fi
run() {
    $as_user "$@"
}
if [ "$(id -u)" = 0 ]; then chown nobody "$work/state"; fi

tries=0
until run timeout 10 arv-tool-0.8 2>/dev/null | grep -q Fake; do
    tries=$((tries + 1))
    [ $tries -lt 10 ] || fail "the simulated camera did not answer"
    sleep 0.5
done

# The station's judgement number (input registers 0-1).
sequence() {
    mbpoll -m tcp -0 -t 3 -r 0 -c 2 -1 -o 2 -p "$port" 127.0.0.1 2>/dev/null |
        awk '/^\[0\]:/ { high = $2 } /^\[1\]:/ { low = $2 } END { print high * 65536 + low }'
}
# Waits up to $2 seconds for the station's judgement number to pass $1.
judges_past() {
    waited=0
    while [ "$(sequence)" -le "$1" ]; do
        waited=$((waited + 1))
        [ $waited -lt $(($2 * 2)) ] || return 1
        sleep 0.5
    done
}
# Waits up to $2 seconds for the station's log to hold the line $1.
logs() {
    waited=0
    until grep -q "$1" "$work/station.log"; do
        waited=$((waited + 1))
        [ $waited -lt $(($2 * 2)) ] || return 1
        sleep 0.5
    done
}
start_station() {
    $as_user "$station" --config "$work/station.conf" >"$work/station.log" 2>&1 &
    station_pid=$!
}
stop_station() {
    kill -TERM "$station_pid"
    status=0
    wait "$station_pid" || status=$?
    station_pid=""
    [ "$status" -eq 0 ] || fail "the station exited with $status"
}
take_frames() {
    run timeout 120 "$measure" --camera "$work/gige-camera.ini" --frames "$1" \
        --standard 128 --tolerance 128 --format csv
}

# 1. The station holds the camera and judges.
start_station
logs "camera .* open" 60 || fail "the station did not open the camera"
judges_past 0 30 || fail "the station does not judge"

# 2. A second program is refused with the camera's usual error, within its open timeout.
before=$(sequence)
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
# The open timeout is 20 s and closing 2 s: the refusal must not be a timeout of ours.
[ "$took" -lt 23 ] || fail "the refusal took $took s"

# 3. The station never lost its camera and went on judging.
judges_past "$before" 30 || fail "the station stopped judging after the refusal"
after=$(sequence)
judges_past "$after" 30 || fail "the station stopped judging"
! grep -q 'failed' "$work/station.log" || fail "the station lost its camera"

# 4. Once the station has let go, the other program takes frames.
stop_station
take_frames 3 >"$work/rows.csv" || fail "gavrel-measure failed after the station stopped"
[ "$(grep -c 'gige-camera.ini#[0-9]*,.*,OK,' "$work/rows.csv")" -eq 3 ] ||
    fail "expected 3 frames after the station stopped"

# 5. The other way round: while gavrel-measure streams, the station logs its usual camera
# failure and retries, and gavrel-measure loses no frame; then the station takes the camera.
$as_user timeout 120 "$measure" --camera "$work/gige-camera.ini" --frames 400 \
    --standard 128 --tolerance 128 --format csv >"$work/long.csv" 2>"$work/long.err" &
measure_pid=$!
waited=0
until grep -q 'gige-camera.ini#1,' "$work/long.csv"; do
    waited=$((waited + 1))
    [ $waited -lt 60 ] || fail "gavrel-measure took no frame"
    sleep 0.5
done
start_station
logs "camera .* failed (status 4): .*; trying again" 60 ||
    fail "the station did not report the camera in use"
status=0
wait "$measure_pid" || status=$?
measure_pid=""
cat "$work/long.err"
[ "$status" -eq 0 ] || fail "gavrel-measure exited with $status while the station retried"
[ "$(grep -c 'gige-camera.ini#[0-9]*,.*,OK,' "$work/long.csv")" -eq 400 ] ||
    fail "gavrel-measure lost frames while the station retried"
logs "camera .* open" 60 || fail "the station did not take the camera once it was free"
judges_past 0 30 || fail "the station does not judge"
stop_station
cat "$work/station.log"
