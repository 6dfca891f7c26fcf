#!/usr/bin/env bash
# Walks the operator's main path in real windows: Gavrel runs as its own process on an
# X server of its own (Xvfb with a window manager) and is driven with real input events
# from outside. What the operator would see is checked on screenshots and on disk.
#   walk.sh PROGRAM_DIR VIDEO_DIR [SCREENSHOT_DIR]
set -euo pipefail
# Japanese window titles and file names need a UTF-8 locale, whatever the caller has.
export LC_ALL=C.UTF-8
unset LANGUAGE

program_dir=$1
video_dir=$2
shots=${3:-}
# No dot in the folder names: a saved name without a dot gets ".bmp" only then.
work=$(mktemp -d "${TMPDIR:-/tmp}/gavrel-walk-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "walk: $*" >&2
  if [ -n "$shots" ] && [ -n "${DISPLAY:-}" ]; then import -window root "$shots/failure.png" 2>/dev/null || true; fi
  [ -f "$work/app.log" ] && cat "$work/app.log" >&2
  ls -la "$work/program" >&2 || true
  exit 1
}
step() { echo "walk: $*"; }

# --- the X server ---------------------------------------------------------------------
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.05; done

# --- helpers ----------------------------------------------------------------------------
wait_window() { # title -> window id
  for _ in $(seq 150); do
    local id
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then sleep 0.3; echo "$id"; return 0; fi
    sleep 0.1
  done
  fail "no window titled '$1'"
}
wait_gone() { # window id
  for _ in $(seq 100); do
    xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
    xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable' || return 0
    sleep 0.1
  done
  fail "window $1 did not close"
}
geometry() { # window id -> sets X Y W H (client area on the screen)
  local info
  info=$(xwininfo -id "$1")
  X=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
  Y=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
  W=$(awk '/^ *Width:/ {print $NF}' <<<"$info")
  H=$(awk '/^ *Height:/ {print $NF}' <<<"$info")
}
click() { # window x y [button]: x, y in the window's client pixels
  geometry "$1"
  xdotool mousemove --sync $((X + $2)) $((Y + $3)) click "${4:-1}"
  sleep 0.2
}
drag() { # window button x0 y0 x1 y1 (client pixels), in small steps like a hand
  geometry "$1"
  xdotool mousemove --sync $((X + $3)) $((Y + $4)) mousedown "$2"
  local i
  for i in $(seq 1 10); do
    xdotool mousemove --sync $((X + $3 + ($5 - $3) * i / 10)) $((Y + $4 + ($6 - $4) * i / 10))
    sleep 0.02
  done
  xdotool mouseup "$2"
  sleep 0.3
}
shot() { # name -> path of a screenshot of the whole screen
  local file="$work/$1.png"
  import -window root "$file"
  [ -n "$shots" ] && cp "$file" "$shots/$1.png"
  echo "$file"
}
pixel() { # png x y -> "r,g,b"
  convert "$1" -format "%[fx:round(255*p{$2,$3}.r)],%[fx:round(255*p{$2,$3}.g)],%[fx:round(255*p{$2,$3}.b)]" info:
}
blue_box() { # png x y w h -> "w h x y" of the pure-blue pixels inside the region
  convert "$1" -crop "$4x$5+$2+$3" +repage -fill black +opaque '#0000ff' -trim \
    -format '%w %h %X %Y' info: | tr -d '+'
}
near() { [ $(($1 - $2)) -le "$3" ] && [ $(($2 - $1)) -le "$3" ]; }

# Design positions (twips / 15) of the widgets the walk uses, in pixels of the inspection
# area under the menu bar; `image_origin` finds how far down that area starts (AREA_TOP).
main_title='KeshVovadu - 手動センサボールによる平均濃度検査'
display_left=184 display_top=4
judge_x=$((8 + 16 + 4)) judge_y=$((340 + 20 + 4)) # a corner of lblJudge's background
load_button() { echo "$((64 + 56)) $((AREA_TOP + 436 + 14))"; }
save_button() { echo "$((64 + 56)) $((AREA_TOP + 472 + 14))"; }
grab_button() { echo "$((8 + 84)) $((AREA_TOP + 4 + 16))"; }

start_program() { # folder -> runs Gavrel from its copy with the folder as current directory
  (cd "$1" && QT_QPA_PLATFORM=xcb exec "$work/program/Gavrel" >"$work/app.log" 2>&1) &
  app_pid=$!
  pids+=("$app_pid")
}
close_main() { # window id: close as the operator does and expect a clean exit
  wmctrl -i -c "$1"
  local code=0
  wait "$app_pid" || code=$?
  [ "$code" -eq 0 ] || { cat "$work/app.log" >&2; fail "Gavrel exited with $code"; }
}
check_centred() { # window id
  geometry "$1"
  near $((X + W / 2)) 640 3 || fail "chooser not centred horizontally ($X,$Y ${W}x$H)"
  near $((Y + H / 2)) 512 30 || fail "chooser not centred vertically ($X,$Y ${W}x$H)"
}
image_origin() { # png window -> sets OX OY: the screen position of image pixel (0, 0), and
  # AREA_TOP: the menu bar's height (the display's frame is as wide on top as on the left)
  geometry "$2"
  local box
  box=($(blue_box "$1" $((X + display_left)) $((Y + display_top)) 520 520))
  [ "${box[0]}" = 101 ] && [ "${box[1]}" = 101 ] || fail "first circle is ${box[0]}x${box[1]}, not 101x101"
  OX=$((X + display_left + box[2] - 50)) OY=$((Y + display_top + box[3] - 50))
  near $((OX - X - display_left)) 0 4 || fail "circle not at (100, 100) of the image"
  AREA_TOP=$((OY - Y - display_top - (OX - X - display_left)))
  [ "$AREA_TOP" -ge 10 ] && [ "$AREA_TOP" -le 60 ] || fail "no menu bar above the layout ($AREA_TOP)"
}
circle_box() { # png -> "w h x y" of the circle relative to the image
  local box
  box=($(blue_box "$1" "$OX" "$OY" 512 480))
  echo "${box[0]} ${box[1]} ${box[2]} ${box[3]}"
}

mkdir -p "$work/program" "$work/files" "$work/camera"
cp "$program_dir/Gavrel" "$program_dir"/libPelmint.so.1 "$program_dir"/*.bmp "$work/program/"

# --- walk 1: files only -----------------------------------------------------------------
step "files only: start"
start_program "$work/files"
chooser=$(wait_window 'ビデオ設定ファイルの選択')
check_centred "$chooser"
click "$chooser" $((16 + 10)) $((320 + 12))   # カメラ入力を使わない
click "$chooser" $((392 + 68)) $((320 + 12))  # OK
wait_gone "$chooser"
main=$(wait_window "$main_title")
first=$(shot files-first)
image_origin "$first" "$main"
geometry "$main"
[ "$(pixel "$first" $((X + judge_x)) $((Y + AREA_TOP + judge_y)))" = "255,0,0" ] || fail "first verdict on a black image is not NG red"

step "files only: left drag moves the circle"
drag "$main" 1 $((OX - X + 100)) $((OY - Y + 100)) $((OX - X + 300)) $((OY - Y + 200))
read -r w h x y <<<"$(circle_box "$(shot files-moved)")"
[ "$w $h $x $y" = "101 101 250 150" ] || fail "after the left drag the circle box is $w $h $x $y"

step "files only: right drag resizes it"
drag "$main" 3 $((OX - X + 300)) $((OY - Y + 200)) $((OX - X + 330)) $((OY - Y + 260))
read -r w h x y <<<"$(circle_box "$(shot files-resized)")"
[ "$w $h $x $y" = "161 161 220 120" ] || fail "after the right drag the circle box is $w $h $x $y"

step "files only: load a sample image"
click "$main" $(load_button)
loader=$(wait_window 'ファイル読込み')
click "$loader" $((240 + 40)) $((72 + 8)) # the first file
geometry "$loader"
xdotool key --clearmodifiers Home
for _ in $(seq "${WALK_SAMPLE_INDEX:-1}"); do xdotool key Down; done
click "$loader" $((264 + 48)) $((204 + 12)) # OK
wait_gone "$loader"
loaded=$(shot files-loaded)
[ -n "$shots" ] && import -frame -window "$main" "$shots/main-window.png"
[ "$(pixel "$loaded" $((OX + 256)) $((OY + 240)))" != "0,0,0" ] || fail "the loaded image is not shown"
geometry "$main"
judge=$(pixel "$loaded" $((X + judge_x)) $((Y + AREA_TOP + judge_y)))
case "$judge" in "255,255,255" | "255,0,0") ;; *) fail "verdict background is $judge" ;; esac

step "files only: save it under a new name"
click "$main" $(save_button)
saver=$(wait_window 'ファイル保存')
click "$saver" $((240 + 60)) $((24 + 10)) # the file name box
xdotool type --delay 20 walk-saved
click "$saver" $((256 + 48)) $((204 + 12)) # OK
wait_gone "$saver"
saved="$work/program/walk-saved.bmp"
for _ in $(seq 50); do [ -s "$saved" ] && break; sleep 0.1; done
[ "$(identify -format '%w %h %[bit-depth]' "$saved" 2>/dev/null)" = "512 480 8" ] ||
  fail "the saved file is not a 512 x 480, 8-bit bitmap"

step "files only: the version from the help menu"
xdotool key --clearmodifiers alt+h
sleep 0.3
xdotool key --clearmodifiers a
about=$(wait_window 'バージョン情報')
xdotool key --clearmodifiers Return
wait_gone "$about"

step "files only: close"
close_main "$main"

# --- walk 2: the test-pattern camera ----------------------------------------------------
step "camera: start with the test pattern"
cp "$video_dir/test-pattern.ini" "$work/camera/"
start_program "$work/camera"
chooser=$(wait_window 'ビデオ設定ファイルの選択')
click "$chooser" $((272 + 40)) $((88 + 8))    # test-pattern.ini, the only file
click "$chooser" $((392 + 68)) $((320 + 12))  # OK
wait_gone "$chooser"
main=$(wait_window "$main_title")
before=$(shot camera-first)
image_origin "$before" "$main"
click "$main" $(grab_button)
sleep 0.5
after=$(shot camera-grabbed)
geometry "$main"
crop="512x480+$OX+$OY"
convert "$before" -crop "$crop" +repage "$work/before-image.png"
convert "$after" -crop "$crop" +repage "$work/after-image.png"
changed=$(compare -metric AE "$work/before-image.png" "$work/after-image.png" null: 2>&1 || true)
[ "${changed%% *}" -gt 100 ] 2>/dev/null || fail "Grab did not change the image ($changed pixels differ)"

step "camera: close"
close_main "$main"
echo "walk: passed"
