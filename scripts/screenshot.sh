#!/usr/bin/env bash
# Plays a checked game on a private X server and saves the window as docs/screenshot.png.
# The window test does the work: it starts Xvfb with -displayfd and shows the drill there.
# Usage: scripts/screenshot.sh [build folder, default build]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shot="$root/docs/screenshot.png"

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target tst_window
mkdir -p "$root/docs"
if ! log=$(QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy QT_LOGGING_RULES='qt.qpa.*=false' \
           KERUNOPI_SCREENSHOT="$shot" "$build/tests/tst_window" "onScreen:ratio 1" 2>&1); then
  echo "$log" >&2
  exit 1
fi
echo "$shot"
