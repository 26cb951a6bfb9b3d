#!/usr/bin/env bash
# Installs every Debian package the engine, its tests and its benchmarks use.
# Idempotent: quiet and quick when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  liblua5.1-0-dev
  libssl-dev
  libc-ares-dev
  libboost-dev
  libjsoncpp-dev
  libvorbis-dev
  libsdl2-dev libx11-dev libxcb1-dev
  libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0
  libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-ipafont-gothic fonts-ipafont-mincho
  libstb-dev
  libfaudio-dev
  zlib1g-dev
  python3 python3-oauthlib openssl
  locales xdg-utils
  clang libclang-rt-14-dev
  # a private X server for the tests that need one, the core fonts SDL's message boxes
  # draw with, and the tools that drive it
  xvfb xfonts-base x11-xserver-utils xdotool
  love linux-perf
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages: ${missing[*]}; run as root to install them" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
