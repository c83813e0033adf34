#!/usr/bin/env bash
# Installs the Debian 12 packages Veskar builds and tests with. Safe to run
# again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git file dpkg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libstb-dev
  libepoxy-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libfreetype-dev libfontconfig-dev fonts-liberation2 fonts-nanum
  qt6-base-dev libqt6opengl6-dev libxcb1-dev
  xvfb xdotool openbox imagemagick x11-utils xauth
  clang libclang-rt-14-dev libfuzzer-14-dev
  time python3
  libtinygltf-dev nlohmann-json3-dev
  chromium assimp-utils
  # glTF test files written by others (simple_skin, BoxTextured, broken files).
  assimp-testmodels
  # The Windows build: the cross compiler, googletest's sources to build with
  # it, and Wine to run the result (tests and the release package's sample);
  # Wine's own fonts (Tahoma), which a prefix without fonts falls back on.
  g++-mingw-w64-x86-64-posix googletest wine wine64 fonts-wine
)
# The glTF checks run node scripts; a machine may already have node and npm
# from elsewhere (their own packages then stand in for Debian's).
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Run as root or install sudo to get: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
