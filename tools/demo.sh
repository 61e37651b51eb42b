#!/bin/bash
# Runs the plug-in inside the stand-in host on a virtual display and saves screenshots in out/:
# a floating run, a run in the slit, and a right click that opens the context menu.
#   tools/demo.sh            (dist/x64 must be built)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dist="${VISTREL_DEMO_DIST:-$root/dist/x64}"
out="$root/out"
work="$out/demo"

if [ "${1:-}" != "--inside" ]; then
  for f in Duskwell.exe Vistrel.dll styles; do
    [ -e "$dist/$f" ] || { echo "demo: $dist/$f is missing; build dist/ first" >&2; exit 1; }
  done
  exec "$root/tools/with-wine" "$0" --inside
fi

wine_run="$root/tools/wine-run"
host="$dist/Duskwell.exe"

# A run directory with its own copy of the plug-in and its settings file, so runs do not share state.
prepare() {  # prepare NAME IN_SLIT
  local dir="$work/$1"
  rm -rf "$dir" && mkdir -p "$dir"
  cp "$dist/Vistrel.dll" "$dir/"
  cat >"$dir/vistrel.rc" <<RC
vistrel.position.x: 24
vistrel.position.y: 24
vistrel.alwaysOnTop: true
vistrel.snapWindow: true
vistrel.pluginToggle: true
vistrel.transparency: false
vistrel.transparency.alpha: 200
vistrel.inSlit: $2
vistrel.autoResize: true
vistrel.timerInterval: 5
vistrel.width: 100
vistrel.height: 16
RC
}

# Converts the run's BMP screenshots into out/PREFIX*.png.
convert_shots() {  # convert_shots NAME PREFIX
  local bmp
  for bmp in "$work/$1"/*.bmp; do
    [ -e "$bmp" ] || { echo "demo: the $1 run saved no screenshot" >&2; return 1; }
    convert "$bmp" "$out/$2$(basename "$bmp" .bmp).png"
  done
}

run_demo() {  # run_demo NAME PREFIX [HOST OPTIONS...]
  local name="$1" prefix="$2"
  shift 2
  if ! "$wine_run" "$host" "$@" --demo "Z:$work/$name" "Z:$work/$name/Vistrel.dll" \
      >"$work/$name.log" 2>&1 </dev/null; then
    echo "demo: the $name run failed; see $work/$name.log" >&2
    return 1
  fi
  convert_shots "$name" "$prefix"
}

mkdir -p "$out"
rm -f "$out"/*.png

prepare float false
run_demo float ""
prepare slit true
run_demo slit "slit-" --slit

# Right-click the window once the host has told where it is, and photograph the open menu.
prepare menu false
"$wine_run" "$host" --quit-after 8 --window-file "Z:$work/menu/window.txt" "Z:$work/menu/Vistrel.dll" \
  >"$work/menu.log" 2>&1 </dev/null &
host_pid=$!
for _ in $(seq 1 100); do [ -s "$work/menu/window.txt" ] && break; sleep 0.1; done
if [ ! -s "$work/menu/window.txt" ]; then
  echo "demo: the host did not report the plug-in window; see $work/menu.log" >&2
  kill "$host_pid" 2>/dev/null || true
  exit 1
fi
read -r x y width height <"$work/menu/window.txt"
xdotool mousemove "$((x + width / 2))" "$((y + height / 2))"
sleep 0.3
xdotool click 3
sleep 1
# Over the second item, "Window", whose submenu then opens beside it.
xdotool mousemove_relative 40 28
sleep 1
import -window root "$out/menu.png"
xdotool key Escape
wait "$host_pid" || true

# Ctrl-drag the window towards the right edge and let it go 4 pixels short of it: it snaps flush
# to the edge, and the settings file records where it ended.
prepare drag false
"$wine_run" "$host" --quit-after 8 --window-file "Z:$work/drag/window.txt" "Z:$work/drag/Vistrel.dll" \
  >"$work/drag.log" 2>&1 </dev/null &
host_pid=$!
for _ in $(seq 1 100); do [ -s "$work/drag/window.txt" ] && break; sleep 0.1; done
if [ -s "$work/drag/window.txt" ]; then
  read -r x y width height <"$work/drag/window.txt"
  screen_width=$(xdotool getdisplaygeometry | cut -d' ' -f1)
  xdotool mousemove "$((x + width / 2))" "$((y + height / 2))"
  sleep 0.3
  xdotool keydown ctrl
  sleep 0.2
  xdotool mousedown 1
  for _ in $(seq 1 10); do xdotool mousemove_relative 40 12; sleep 0.05; done
  xdotool mousemove "$((screen_width - width / 2 - 4))" 300
  sleep 0.5
  xdotool mouseup 1
  xdotool keyup ctrl
  sleep 0.5
  import -window root "$out/drag.png"
  echo "demo: after the drag the settings file says $(head -n 2 "$work/drag/vistrel.rc" | tr '\n' ' ')" \
       "(the screen is $screen_width pixels wide, the window $width)"
fi
wait "$host_pid" || true

ls "$out"/*.png
