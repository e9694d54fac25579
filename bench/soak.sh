#!/usr/bin/env bash
# Soak run: records 1080p30 moving content with system sound for SECONDS
# (default 600) with kalrec, with a marker (a white flash together with a
# beep) near the start and near the end. Prints peak, first-minute and final
# RSS, pictures dropped, and how far the sound moved against the picture
# between the two markers.   bench/soak.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
if [ -z "${KAL_TEST_SESSION:-}" ]; then
  [ "${SKIP_BUILD:-0}" = 1 ] || bash "$root/scripts/build.sh" >/dev/null
  exec "$root/tests/harness/session.sh" --display --sound -- "$0" "$@"
fi
bin="$root/build/bin"
work="$KAL_TEST_SESSION/soak"
mkdir -p "$work"
ffmpeg -v error -f lavfi -i testsrc2=size=1920x1080:rate=30 -frames:v 30 -pix_fmt bgra \
  -f rawvideo "$work/frames.bgra"
ffmpeg -v error -f lavfi -i sine=frequency=1000:duration=0.2 -ac 2 "$work/beep.wav"
"$bin/kal_bench_painter" "$work/frames.bgra" 1920 1080 30 &
painter=$!
# The test server's null sink renders blocks of seconds while nothing plays
# into it, which no sound card does; this reader keeps it on a card's short
# clock between the beeps.
parec --latency-msec=10 -d kal_sink.monitor >/dev/null &
keeper=$!
trap 'kill $painter $keeper 2>/dev/null || true' EXIT
sleep 1
out="$work/soak.mp4"
"$bin/kalrec" record --out "$out" --seconds "$seconds" --fps 30 --sound system </dev/null \
  >"$work/summary" 2>"$work/stats" &
rec=$!
marker() {
  kill -USR1 "$painter"
  paplay --latency-msec=20 "$work/beep.wav" &
}
rss_first=0 rss_peak=0 rss=0
for ((t = 0; t < seconds + 30; t++)); do
  kill -0 "$rec" 2>/dev/null || break
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$rec/status" 2>/dev/null || echo "$rss")
  [ "$rss" -gt "$rss_peak" ] && rss_peak=$rss
  [ "$t" = 60 ] && rss_first=$rss
  [ "$t" = 5 ] && marker
  [ "$t" = $((seconds - 5)) ] && marker
  sleep 1
done
wait "$rec"
# Flash times: frames whose top-left corner turns white; beep times: ends of silence.
ffmpeg -v error -i "$out" -vf "crop=64:64:0:0,signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=$work/yavg" \
  -an -f null - 
flashes=$(awk '/pts_time/ {split($0, a, "pts_time:"); t = a[2]} /YAVG/ {split($0, b, "="); if (b[2] > 200 && !on) {print t; on = 1} if (b[2] < 100) on = 0}' "$work/yavg")
beeps=$(ffmpeg -v info -i "$out" -vn -af silencedetect=n=-40dB:d=0.5 -f null - 2>&1 | \
  awk '/silence_end/ {for (i = 1; i <= NF; i++) if ($i == "silence_end:") print $(i + 1)}')
read -r f1 f2 <<<"$(echo $flashes)"
read -r b1 b2 <<<"$(echo $beeps)"
echo "summary: $(cat "$work/summary")"
echo "rss_kb: first_minute=$rss_first peak=$rss_peak final=$rss"
echo "flashes at: $f1 $f2 s; beeps at: $b1 $b2 s"
awk -v f1="$f1" -v f2="$f2" -v b1="$b1" -v b2="$b2" \
  'BEGIN {printf "av_offset_start=%.3f av_offset_end=%.3f drift_ms=%.0f\n", b1 - f1, b2 - f2, ((b2 - f2) - (b1 - f1)) * 1000}'
