#!/usr/bin/env bash
# Measures the drill against a bare Qt window of the same widget count ("floor") in one run,
# on a private X server, and prints one table. Best on an otherwise idle machine.
#   BENCH_RUNS      start-up runs per program (default 10)
#   BENCH_BUILD_DIR build directory (default build-perf)
set -euo pipefail
# A desktop session has a session bus; without one, libdbus forks dbus-launch (and fails) in
# each program, a cost no user pays. A private bus for this run stands in for the desktop's.
if [[ -z ${DBUS_SESSION_BUS_ADDRESS:-} && -z ${BENCH_IN_SESSION:-} ]] && command -v dbus-run-session >/dev/null; then
  BENCH_IN_SESSION=1 exec dbus-run-session -- bash "$0" "$@"
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-perf}
runs=${BENCH_RUNS:-10}
limit=30

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target kerunopi floor firstframe game_cpu >/dev/null

work=$(mktemp -d)
xvfb=
cleanup() {
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# -displayfd picks a free display and says which once the server is ready.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
  [[ -s $work/display ]] && break
  sleep 0.1
done
[[ -s $work/display ]] || { cat "$work/xvfb.log" >&2; echo "bench: Xvfb did not start" >&2; exit 1; }

# Both programs see the same surroundings; the drill's sound opens on SDL's dummy driver, so its
# mixer, clips and audio thread are all paid for as on a machine with a sound card.
mkdir -m 700 "$work/runtime"
export DISPLAY=:$(head -n 1 "$work/display") QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy \
  XDG_RUNTIME_DIR=$work/runtime
unset WAYLAND_DISPLAY
echo 60 >"$work/Data.txt"
cd "$work"

drill=$build/app/kerunopi
floor=$build/bench/floor
measure() { "$build/bench/firstframe" --rss-after-ms 5000 -- "$@"; }

echo "bench: $runs start-up runs of each program, 5 s apiece..." >&2
measure "$drill" >/dev/null # warm the font and library caches once, unmeasured
measure "$floor" >/dev/null
: >"$work/drill.startup"
: >"$work/floor.startup"
for ((i = 0; i < runs; i++)); do
  for who in drill floor; do
    measure "${!who}" | sed 's/startup_ms=\([^ ]*\) rss_kib=\([^ ]*\) anon_kib=\(.*\)/\1 \2 \3/' \
      >>"$work/$who.startup"
  done
done

echo "bench: a ${limit}-second game, then the floor idling as long..." >&2
drill_game=$("$build/bench/game_cpu" --limit "$limit" 2>"$work/game.err") ||
  { cat "$work/game.err" >&2; exit 1; }
floor_idle=$("$build/bench/floor" --cpu-seconds "$limit")

# --- One table. ---
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p" <<<"$2"; }
stats() { # column of a file -> "median min max"
  awk -v c="$1" '{print $c}' "$2" | sort -g |
    awk '{v[NR]=$1} END {m = NR % 2 ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2; print m, v[1], v[NR]}'
}
tick_stats() { # comma list -> "min median max"
  tr ',' '\n' <<<"$1" | sort -g |
    awk '{v[NR]=$1} END {m = NR % 2 ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2; print v[1], m, v[NR]}'
}
verdict() { awk "BEGIN {print ($1) ? \"yes\" : \"NO\"}"; }

read -r ds_med ds_min ds_max < <(stats 1 "$work/drill.startup")
read -r fs_med fs_min fs_max < <(stats 1 "$work/floor.startup")
read -r dr_med dr_min dr_max < <(stats 2 "$work/drill.startup")
read -r fr_med fr_min fr_max < <(stats 2 "$work/floor.startup")
read -r da_med _ _ < <(stats 3 "$work/drill.startup")
read -r fa_med _ _ < <(stats 3 "$work/floor.startup")
d_cpu=$(field cpu_percent "$drill_game")
f_cpu=$(field cpu_percent "$floor_idle")
read -r dt_min dt_med dt_max < <(tick_stats "$(field ticks_ms "$drill_game")")
read -r ft_min ft_med ft_max < <(tick_stats "$(field ticks_ms "$floor_idle")")

ratio=$(awk "BEGIN {printf \"%.3f\", $ds_med / $fs_med}")
extra=$(awk "BEGIN {printf \"%+.1f\", ($dr_med - $fr_med) / 1024}")
row() { printf '| %-34s | %-24s | %-24s | %-10s | %-16s | %-3s |\n' "$@"; }
echo
row "measure" "drill" "floor" "drill/floor" "target" "met"
row "----------------------------------" "------------------------" "------------------------" \
  "----------" "----------------" "---"
row "start-up to first frame, median" "$(printf '%.1f ms' "$ds_med")" "$(printf '%.1f ms' "$fs_med")" \
  "x$ratio" "<= x1.15" "$(verdict "$ratio <= 1.15")"
row "  range over $runs runs" "$(printf '%.1f-%.1f ms' "$ds_min" "$ds_max")" \
  "$(printf '%.1f-%.1f ms' "$fs_min" "$fs_max")" "" "" ""
row "resident memory 5 s after start" "$(awk "BEGIN {printf \"%.1f MiB\", $dr_med / 1024}")" \
  "$(awk "BEGIN {printf \"%.1f MiB\", $fr_med / 1024}")" "$extra MiB" "<= +8 MiB" \
  "$(verdict "$dr_med - $fr_med <= 8 * 1024")"
row "  range over $runs runs" "$(awk "BEGIN {printf \"%.1f-%.1f MiB\", $dr_min / 1024, $dr_max / 1024}")" \
  "$(awk "BEGIN {printf \"%.1f-%.1f MiB\", $fr_min / 1024, $fr_max / 1024}")" "" "" ""
row "  of it anonymous (heap, stacks)" "$(awk "BEGIN {printf \"%.1f MiB\", $da_med / 1024}")" \
  "$(awk "BEGIN {printf \"%.1f MiB\", $fa_med / 1024}")" \
  "$(awk "BEGIN {printf \"%+.1f MiB\", ($da_med - $fa_med) / 1024}")" "" ""
row "CPU over ${limit} s (game / idle)" "$(printf '%.3f %% of a core' "$d_cpu")" \
  "$(printf '%.3f %% of a core' "$f_cpu")" "" "<= 0.5 %" "$(verdict "$d_cpu <= 0.5")"
row "tick interval min/median/max" "$(printf '%.1f/%.1f/%.1f ms' "$dt_min" "$dt_med" "$dt_max")" \
  "$(printf '%.1f/%.1f/%.1f ms' "$ft_min" "$ft_med" "$ft_max")" "" "1000-1005 ms" \
  "$(verdict "$dt_min >= 1000 && $dt_max <= 1005")"
