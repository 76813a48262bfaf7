#!/usr/bin/env bash
# Installs every Debian package that building, running and testing the drill needs.
# Silent when everything is already there; names what is missing when it cannot install.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-base-private-dev libgl-dev
  libsdl2-mixer-dev libasound2-dev
  fonts-motoya-l-maruberi fonts-ipafont-gothic fonts-noto-cjk fontconfig
  xvfb xauth xdotool
  clang libclang-rt-14-dev
  libxcb-damage0-dev fonts-dejavu-core
  desktop-file-utils appstream dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$p")
done
((${#missing[@]} == 0)) && exit 0

if ! command -v apt-get >/dev/null; then
  echo "install-deps: not a Debian system; please install: ${missing[*]}" >&2
  exit 1
fi
sudo=()
if ((EUID != 0)); then
  if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    sudo=(sudo)
  else
    echo "install-deps: need root to install: ${missing[*]}" >&2
    echo "install-deps: run as root, or: sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq >&2
if ! "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
  echo "install-deps: apt-get could not install: ${missing[*]}" >&2
  exit 1
fi
