#!/usr/bin/env bash
# Cut benchmark: a 5 s cut at 55 min of a 60 min recording-like file
# (640x360 25 fps, a key picture every 10 s, with sound), as the cut page
# writes it (seeking on the input), then as ffmpeg does when the range is
# given after the input (decoding everything before it). Prints the wall
# seconds of each and, last, time_ratio=ours/decoding-all. The target is
# under 10 s for ours.
#
#   bench/cut.sh [MINUTES]   (default 60; builds first unless SKIP_BUILD=1)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-60}

[ "${SKIP_BUILD:-0}" = 1 ] || bash "$root/scripts/build.sh" >/dev/null
work=$(mktemp -d /tmp/kal-cut-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
movie="$work/long.mp4"
seconds=$((minutes * 60))
ffmpeg -y -loglevel error -f lavfi -i "testsrc2=size=640x360:rate=25" -f lavfi -i sine=frequency=440 \
  -t "$seconds" -c:v libx264 -preset ultrafast -g 250 -pix_fmt yuv420p -c:a aac "$movie"
start=$((seconds - 5 * 60))
end=$((start + 5))

ours=$("$root/build/bin/kal_bench_cut" "$movie" "$start" "$end" "$work/ours.mp4")
began=$(date +%s.%N)
ffmpeg -nostdin -loglevel error -y -i "$movie" -ss "$start" -to "$end" -c:v libx264 -pix_fmt yuv420p \
  -c:a aac "$work/all.mp4"
all=$(awk -v a="$began" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/ours.mp4")
printf 'ours          %s s (output %s s long)\ndecoding-all  %s s\n' "$ours" "$length" "$all"
awk -v a="$ours" -v b="$all" 'BEGIN { printf "time_ratio=%.2f\n", a / b }'
