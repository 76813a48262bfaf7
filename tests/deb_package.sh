#!/usr/bin/env bash
# Builds the Debian package from the built tree and checks what a clean machine would get from
# it: the name and version, the dependencies that bring Qt, SDL2_mixer and the fonts, the files,
# and a metainfo release entry for this version.
# Usage: deb_package.sh <build-dir> <version>
set -euo pipefail
build=${1:?usage: deb_package.sh <build-dir> <version>}
version=${2:?usage: deb_package.sh <build-dir> <version>}
here=$(cd "$(dirname "$0")" && pwd)
id=io.github.kerunopi.Kerunopi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "deb_package: cpack failed" >&2
  exit 1
fi
deb=$work/kerunopi_${version}_$(dpkg --print-architecture).deb
if [[ ! -f $deb ]]; then
  ls "$work" >&2
  echo "deb_package: no $(basename "$deb")" >&2
  exit 1
fi
dpkg-deb --info "$deb"

field() { dpkg-deb --field "$deb" "$1"; }
[[ $(field Package) == kerunopi ]] || fail "Package is '$(field Package)'"
[[ $(field Version) == "$version" ]] || fail "Version is '$(field Version)'"

# Each must be a whole package name in Depends: the Qt and SDL libraries from dpkg-shlibdeps,
# the fonts the drill asks for by name.
depends=$(field Depends)
for package in libqt6core6 libqt6gui6 libqt6widgets6 libsdl2-mixer-2.0-0 libasound2 \
  fonts-motoya-l-maruberi fonts-ipafont-gothic fonts-noto-cjk; do
  [[ ", $depends," =~ ,\ "$package"[\ ,] ]] || fail "Depends lacks $package: $depends"
done

# The same files as a plain install, under /usr.
expected=$(grep -v '^#' "$here/installed_files.txt" | sed 's|^|usr/|')
packaged=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | LC_ALL=C sort)
if [[ $packaged != "$expected" ]]; then
  fail "packaged files differ from tests/installed_files.txt (< expected, > packaged):"
  diff <(echo "$expected") <(echo "$packaged") >&2 || true
fi
modes=$(dpkg-deb --contents "$deb")
for program in kerunopi kerunopi-launch; do
  grep -Eq "^-rwxr-xr-x root/root .* \./usr/bin/$program\$" <<<"$modes" ||
    fail "usr/bin/$program is not an executable owned by root"
done

# Software centres show the release list; a version bump needs its own entry there.
metainfo=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/metainfo/$id.metainfo.xml")
grep -q "<release version=\"$version\" date=\"[0-9-]*\"" <<<"$metainfo" ||
  fail "the metainfo has no release entry for $version"

if ((failures > 0)); then
  echo "deb_package: $failures check(s) failed" >&2
  exit 1
fi
echo "deb_package: all checks passed"
