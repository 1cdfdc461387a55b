#!/usr/bin/env bash
# Configures and builds the Windows programs (build/: the program folder build/out, the installer
# build/installer/QELT-Setup-<version>.exe, developer tools, tests, benchmarks) and, with --native,
# the host build of the platform-free code with sanitizers and fuzzers (build-native/).
# --native-only builds the host build alone.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
mode="${1:-}"
if [ "$mode" != "--native-only" ]; then
  cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  ninja -C build
fi
if [ "$mode" = "--native" ] || [ "$mode" = "--native-only" ]; then
  cmake -S . -B build-native -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELT_SANITIZE=ON -DQELT_FUZZ=ON >/dev/null
  ninja -C build-native
fi
