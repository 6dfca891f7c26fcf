#!/bin/sh
# samples/video/gige-camera.ini against Aravis's simulated GigE Vision camera on the loopback
# interface: gavrel-measure takes and measures frames through it. Aravis reads GigE Vision
# through a raw packet socket when run as root, which loopback does not carry, so the camera's
# client runs as an unprivileged user then.
set -eu
measure="$1"
sample="$2"
if ! command -v arv-fake-gv-camera-0.8 >/dev/null || ! gst-inspect-1.0 aravissrc >/dev/null 2>&1
then
    echo "aravis-tools or the Aravis GStreamer source is not installed"
    exit 77
fi
work=$(mktemp -d)
camera=""
cleanup() {
    if [ -n "$camera" ]; then kill "$camera" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
arv-fake-gv-camera-0.8 -i 127.0.0.1 >"$work/camera.log" 2>&1 &
camera=$!
# The simulated camera, a user-space process on a busy test host, can miss its frame clock for
# seconds; the sample's capture timeout is for a real camera, so the copy under test waits longer.
sed 's/^CaptureTimeoutMs=.*/CaptureTimeoutMs=15000/' "$sample" >"$work/gige-camera.ini"
grep -q '^Pipeline=aravissrc' "$work/gige-camera.ini"
chmod 755 "$work"
chmod 644 "$work/gige-camera.ini"
run() {
    if [ "$(id -u)" = 0 ]; then
        runuser -u nobody -- "$@"
    else
        "$@"
    fi
}
# The camera answers discovery within a few seconds.
tries=0
until run timeout 10 arv-tool-0.8 2>/dev/null | grep -q Fake; do
    tries=$((tries + 1))
    if [ $tries -ge 10 ]; then
        echo "the simulated camera did not answer"
        exit 1
    fi
    sleep 0.5
done
status=0
run timeout 60 env HOME="$work" XDG_CONFIG_HOME="$work" XDG_DATA_HOME="$work" \
    "$measure" --camera "$work/gige-camera.ini" --frames 3 --standard 128 --tolerance 128 \
    --format csv >"$work/rows.csv" ||
    status=$?
cat "$work/rows.csv"
if [ "$status" -ne 0 ]; then
    echo "gavrel-measure exited with $status; the simulated camera said:"
    tail -20 "$work/camera.log"
    exit 1
fi
rows=$(grep -c 'gige-camera.ini#' "$work/rows.csv" || true)
[ "$rows" -eq 3 ] || { echo "expected 3 frames, got $rows"; exit 1; }
# No row reports a camera error.
! grep -qi 'error' "$work/rows.csv"
