#!/usr/bin/env bash
# Player benchmark: the preview player against ffplay on the same 30 s
# 1080p30 file with sound, one after the other in the same private session
# (Xvfb and PulseAudio), both in a 960x540 window. Prints the CPU seconds of
# each and, last, cpu_ratio=player/ffplay.
#
#   bench/player.sh [SECONDS]   (default 30; builds first unless SKIP_BUILD=1)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}

if [ -z "${KAL_TEST_SESSION:-}" ]; then
  [ "${SKIP_BUILD:-0}" = 1 ] || bash "$root/scripts/build.sh" >/dev/null
  exec "$root/tests/harness/session.sh" --display --sound -- "$0" "$@"
fi

work="$KAL_TEST_SESSION/bench"
mkdir -p "$work"
movie="$work/movie.mp4"
ffmpeg -y -loglevel error -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=$seconds" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" -ac 2 \
  -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac "$movie"

cpu() {  # COMMAND...: user+system CPU seconds of the command
  /usr/bin/time -f '%U %S' -o "$work/time" "$@" >/dev/null 2>&1 || true
  awk '{printf "%.2f", $1 + $2}' "$work/time"
}

player=$(cpu "$root/build/bin/kal_bench_play" "$movie")
ffplay=$(cpu ffplay -loglevel error -autoexit -x 960 -y 540 "$movie")
printf 'player  %s s CPU\nffplay  %s s CPU\n' "$player" "$ffplay"
awk -v a="$player" -v b="$ffplay" 'BEGIN { printf "cpu_ratio=%.2f\n", a / b }'
