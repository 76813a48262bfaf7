#!/usr/bin/env bash
# Installs what is missing, builds the drill and starts it from a folder with a sample Data.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target kerunopi

sample="$build/sample"
mkdir -p "$sample"
[[ -f $sample/Data.txt ]] || printf '60\r\n' >"$sample/Data.txt"
cd "$sample"
exec "$build/app/kerunopi"
