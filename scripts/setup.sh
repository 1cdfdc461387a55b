#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing when all are present.
set -euo pipefail
packages=(
  cmake ninja-build g++-mingw-w64-x86-64 mingw-w64-tools googletest
  wine wine64 xvfb xauth xdotool x11-utils imagemagick
  python3 python3-pil fonts-dejavu-core clang libclang-rt-dev libpugixml-dev g++ nsis
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
