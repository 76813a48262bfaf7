#!/usr/bin/env bash
# Installs the build into a temporary prefix and looks at it as a desktop would: every file where
# the freedesktop and AppStream rules put it, the metadata valid and naming files that exist, and
# the installed program and its menu launcher showing the drill window on a private X server.
# Usage: install_tree.sh <build-dir>
set -euo pipefail
build=${1:?usage: install_tree.sh <build-dir>}
here=$(cd "$(dirname "$0")" && pwd)
id=io.github.kerunopi.Kerunopi
title=ケルノピ

work=$(mktemp -d)
apps=()
xvfb=
# SIGKILL for the drill: SDL's signal handlers turn SIGTERM into an event the drill never reads.
# SIGTERM for Xvfb, so that it removes its lock file.
cleanup() {
  for pid in "${apps[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  [[ -z $xvfb ]] || kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

# --- Files: exactly the expected ones, nothing stray.
expected=$(grep -v '^#' "$here/installed_files.txt")
installed=$(cd "$prefix" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort)
if [[ $installed != "$expected" ]]; then
  fail "installed files differ from tests/installed_files.txt (< expected, > installed):"
  diff <(echo "$expected") <(echo "$installed") >&2 || true
fi

for program in kerunopi kerunopi-launch; do
  [[ -x $prefix/bin/$program ]] || fail "bin/$program is not executable"
done
file -b "$prefix/bin/kerunopi" | grep -q '^ELF' || fail "bin/kerunopi is no ELF program"

for size in 32 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  [[ -f $icon ]] || continue
  kind=$(file -b "$icon")
  [[ $kind == "PNG image data, $size x $size,"* ]] || fail "$size px icon is: $kind"
done

example=$prefix/share/doc/kerunopi/examples/Data.txt
[[ ! -f $example || $(head -n 1 "$example") == 60 ]] || fail "the example Data.txt does not start with a limit of 60"

# --- Desktop entry: valid, and every name in it resolves inside the install.
desktop=$prefix/share/applications/$id.desktop
if [[ -f $desktop ]]; then
  report=$(desktop-file-validate "$desktop" 2>&1) || true
  [[ -z $report ]] || fail "desktop-file-validate: $report"
  entry() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
  [[ $(entry Name) == "$title" ]] || fail "desktop Name is '$(entry Name)'"
  [[ $(entry Icon) == "$id" ]] || fail "desktop Icon is '$(entry Icon)', not the app id"
  [[ $(entry Terminal) == false ]] || fail "desktop Terminal is '$(entry Terminal)'"
  [[ ";$(entry Categories)" == *";Education;"* && ";$(entry Categories)" == *";Math;"* ]] ||
    fail "desktop Categories are '$(entry Categories)'"
  exec_program=$(entry Exec | cut -d ' ' -f 1)
  [[ -x $prefix/bin/$exec_program ]] || fail "desktop Exec '$exec_program' is not an installed program"
fi

# --- AppStream metadata: valid on its own and as part of the tree (its desktop entry exists).
metainfo=$prefix/share/metainfo/$id.metainfo.xml
if [[ -f $metainfo ]]; then
  appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/appstream.log")"
  appstreamcli validate-tree --no-net --strict "$prefix" >"$work/appstream-tree.log" 2>&1 ||
    fail "appstreamcli validate-tree: $(cat "$work/appstream-tree.log")"
  grep -q "<id>$id</id>" "$metainfo" || fail "metainfo id is not $id"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "metainfo launchable is not $id.desktop"
  while read -r binary; do
    [[ -x $prefix/bin/$binary ]] || fail "metainfo provides binary '$binary', which is not installed"
  done < <(sed -n 's|.*<binary>\(.*\)</binary>.*|\1|p' "$metainfo")
fi

# --- The installed program on a private X server. -displayfd picks a free display.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
  [[ -s $work/display ]] && break
  sleep 0.1
done
[[ -s $work/display ]] || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; exit 1; }
display=:$(head -n 1 "$work/display")

# Runs a command in a directory as a desktop session would start it, without sound hardware.
start() { # <directory> <home> <log> <program>...
  local dir=$1 home=$2 log=$3
  shift 3
  (cd "$dir" && exec env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY="$display" HOME="$home" \
    SDL_AUDIODRIVER=dummy "$@" >"$log" 2>&1) &
  apps+=($!)
  started=$!
}

# True once the process shows a visible window titled exactly "ケルノピ".
window_shown() { # <pid>
  DISPLAY=$display timeout 20 xdotool search --sync --all --onlyvisible --pid "$1" --name "^$title\$" >/dev/null 2>&1
}

stop() { # <pid>
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# The installed binary itself, started in a folder with a Data.txt.
mkdir -p "$work/run"
printf '30\n' >"$work/run/Data.txt"
start "$work/run" "$work/run" "$work/direct.log" "$prefix/bin/kerunopi"
direct=$started
window_shown "$direct" || fail "bin/kerunopi showed no '$title' window: $(cat "$work/direct.log")"
stop "$direct"

# The menu launcher on a first launch: it makes ~/kerunopi with a Data.txt and starts there.
# The home folder's name has a space and Japanese in it, as real ones may.
home="$work/ホーム フォルダ"
mkdir -p "$home"
start "$work" "$home" "$work/launch.log" "$prefix/bin/kerunopi-launch"
launched=$started
if window_shown "$launched"; then
  [[ $(readlink "/proc/$launched/cwd") == "$home/kerunopi" ]] ||
    fail "the launcher started the drill in '$(readlink "/proc/$launched/cwd")'"
else
  fail "bin/kerunopi-launch showed no '$title' window: $(cat "$work/launch.log")"
fi
stop "$launched"
[[ -f $home/kerunopi/Data.txt && $(head -n 1 "$home/kerunopi/Data.txt") == 60 ]] ||
  fail "the launcher did not write a 60-second ~/kerunopi/Data.txt"

# A Data.txt the parent wrote survives a launch (no display: the drill exits at once).
mkdir -p "$home/kerunopi"
printf '45\n' >"$home/kerunopi/Data.txt"
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$home" \
  timeout 20 "$prefix/bin/kerunopi-launch" >/dev/null 2>&1) || true
[[ $(cat "$home/kerunopi/Data.txt") == 45 ]] || fail "the launcher replaced an existing Data.txt"

if ((failures > 0)); then
  echo "install_tree: $failures check(s) failed" >&2
  exit 1
fi
echo "install_tree: all checks passed"
