#!/usr/bin/env bash
# Configures and builds the Windows programs (build/: the program folder build/out, the installer
# build/installer/QELT-Setup-<version>.exe, developer tools, tests, benchmarks) and, with --native,
# the host build of the platform-free code with sanitizers and fuzzers (build-native/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build
if [ "${1:-}" = "--native" ]; then
  cmake -S . -B build-native -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELT_SANITIZE=ON -DQELT_FUZZ=ON >/dev/null
  ninja -C build-native
fi
