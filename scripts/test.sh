#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Extra arguments go to ctest
# (for example: scripts/test.sh -R private_profile_test).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bash scripts/run-ctest.sh "${BUILD:-build}" "$@"
