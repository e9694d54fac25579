#!/usr/bin/env bash
# Pictures of the main window's pages into docs/, taken under a private display.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/bin/kal_screenshots ] || bash scripts/build.sh
tests/harness/session.sh --display -- build/bin/kal_screenshots "$PWD/docs"
