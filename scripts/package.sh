#!/usr/bin/env bash
# Installs what is missing, builds a release and packs it as a Debian package.
# Usage: scripts/package.sh [build-folder]   (default: build-pkg)
# Prints the path of the .deb, e.g. build-pkg/kerunopi_1.0.0_amd64.deb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-pkg}

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build"
(cd "$build" && cpack -G DEB >/dev/null)
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb=$build/kerunopi_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || { echo "package: $deb was not made" >&2; exit 1; }
echo "$deb"
