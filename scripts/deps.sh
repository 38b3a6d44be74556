#!/usr/bin/env bash
# Installs what the build, the game and the tests need, when it is missing (Debian 12).
set -euo pipefail
PKGS=(cmake ninja-build g++ pkg-config libsdl2-dev liblzo2-dev libopenal-dev libenet-dev libgl-dev
      libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth libgl1-mesa-dri ccache
      libx11-dev libxtst-dev clang libclang-rt-14-dev)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
