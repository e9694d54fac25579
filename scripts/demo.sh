#!/usr/bin/env bash
# The demo run: records 10 s of moving content on a private X display with
# kalrec and tells where the file is.  Usage: scripts/demo.sh [BIN_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(cd "${1:-build/bin}" && pwd)
out="$PWD/demo"
mkdir -p "$out"
if [ -z "${KAL_TEST_SESSION:-}" ]; then
  exec tests/harness/session.sh --display -- "$0" "$bin"
fi
frames="$KAL_TEST_SESSION/frames.bgra"
ffmpeg -v error -f lavfi -i testsrc2=size=1280x720:rate=30 -frames:v 30 -pix_fmt bgra \
  -f rawvideo "$frames"
"$bin/kal_bench_painter" "$frames" 1280 720 30 &
painter=$!
trap 'kill $painter 2>/dev/null || true' EXIT
sleep 0.5
file="$out/demo-$(date +%Y%m%d%H%M%S).mp4"
echo "Recording 10 s of a private X display ($DISPLAY) with kalrec ..."
"$bin/kalrec" record --out "$file" --seconds 10 --fps 30 --area 0,0,1280,720 --sound none \
  --cursor </dev/null
echo "The recording is $file"
