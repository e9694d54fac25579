#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Without a display
# (no DISPLAY) it shows the recorder working instead: a private X display
# with moving content is recorded for 10 seconds with kalrec.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bin="${BUILD:-build}/bin"
if [ -n "${DISPLAY:-}" ]; then
  exec "$bin/KalRecorder"
fi
exec bash scripts/demo.sh "$bin"
