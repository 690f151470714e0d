#!/usr/bin/env bash
# Builds the program (Release) and starts it, with an optional picture to show.
# Without a display it runs under Xvfb, writes a screenshot of the screen to
# build/screenshot.png once the window is up, says where it is, and ends.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPIXORIA_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j2 --target zelt-pixoria
program=$PWD/build/release/bin/zelt-pixoria

if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
  exec "$program" "$@"
fi

shot=$PWD/build/screenshot.png
export PIXORIA_PROGRAM=$program PIXORIA_SHOT=$shot
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$PIXORIA_PROGRAM" "$@" &
  pid=$!
  for _ in $(seq 100); do
    xwininfo -root -tree 2>/dev/null | grep -q "Zelt Pixoria" && break
    kill -0 "$pid" 2>/dev/null || { echo "run.sh: the program ended before its window came up" >&2; exit 1; }
    sleep 0.1
  done
  sleep 1
  import -window root "$PIXORIA_SHOT"
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
' run.sh "$@"
echo "Screenshot: $shot"
