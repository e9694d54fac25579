#!/usr/bin/env bash
# Installs what is missing and builds everything into build/ (executables in build/bin/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${BUILD:-build}
# Line tables (-g1) are all a backtrace needs; full debug information makes
# the build a quarter slower.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  ${CMAKE_ARGS:-} >/dev/null
cmake --build "$BUILD" -j "$(nproc)"
