#!/usr/bin/env bash
# Installs every Debian package that building and testing Zorv Setup needs.
# Idempotent: packages already present are left alone and apt is not even asked.
set -euo pipefail

packages=(
  cmake g++ make zlib1g-dev libgtest-dev libtomlplusplus-dev libcli11-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 libz-mingw-w64-dev
  wine wine32:i386 xvfb x11-apps xdotool imagemagick
  clang-16 libclang-rt-16-dev
  liblnk-utils icoutils osslsigncode openssl zip python3 python3-yaml locales
)
# Further packages a caller names (the Wine benchmark: nsis python3-matplotlib time), so that
# the tests do not wait for what only the benchmark uses.
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
# A mirror in the middle of a sync fails an index or two; the packages may still be there, so a
# failed update is retried and then left to the install to judge.
for attempt in 1 2 3; do
  $SUDO apt-get update -qq && break
  echo "install-deps: apt-get update failed (attempt $attempt of 3)" >&2
  sleep $((attempt * 5))
done
# Seen with a mirror stuck in the middle of a sync: an i386 index whose size does
# not match the signed Release is refused, so the i386 halves of libraries that the machine has
# from that suite cannot be resolved at all. Such an index is then taken as the mirror serves
# it (the packages are still checked against it), with a warning.
for target in $(apt-get indextargets --no-release-info --format '$(URI)|$(FILENAME)' \
                  'Identifier: Packages' 'Architecture: i386'); do
  uri=${target%%|*} file=${target#*|}
  compgen -G "$file*" >/dev/null && continue
  echo "install-deps: WARNING: using $uri.xz although it does not match its Release file" >&2
  curl -fsS "$uri.xz" | xz -dc | $SUDO tee "$file" >/dev/null || $SUDO rm -f "$file"
done
# A mirror in the middle of a sync can also hold an index that does not match its packages
# (wine32's i386 libraries then cannot be resolved); it settles within minutes.
for attempt in 1 2 3; do
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" && exit 0
  [ "$attempt" -eq 3 ] && break
  echo "install-deps: apt-get install failed (attempt $attempt of 3); updating again" >&2
  sleep $((attempt * 60))
  $SUDO apt-get update -qq || true
done

exit 1
