#!/usr/bin/env bash
# Recording benchmark: kalrec against `ffmpeg -f x11grab` with
# the same encoder settings, one after the other on one private Xvfb showing
# moving content. Prints a table and, last, cpu_ratio=kalrec/ffmpeg for
# 1080p30 (the 720p60 run is reported in the table).
#
#   bench/record.sh [SECONDS]      (default 30; builds first unless SKIP_BUILD=1)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}

if [ -z "${KAL_TEST_SESSION:-}" ]; then
  [ "${SKIP_BUILD:-0}" = 1 ] || bash "$root/scripts/build.sh" >/dev/null
  exec "$root/tests/harness/session.sh" --display -- "$0" "$@"
fi

bin="$root/build/bin"
work="$KAL_TEST_SESSION/bench"
mkdir -p "$work"

cpu_ticks() {  # user+system clock ticks of a running process
  awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0
}
xvfb_pid=$(pgrep -n -x Xvfb || true)
hz=$(getconf CLK_TCK)

rows=()
firsts=()
run_case() {  # WIDTH HEIGHT FPS
  local w=$1 h=$2 fps=$3 frames="$work/frames-$1x$2.bgra"
  [ -s "$frames" ] || ffmpeg -v error -f lavfi -i "testsrc2=size=${w}x${h}:rate=$fps" \
    -frames:v 30 -pix_fmt bgra -f rawvideo "$frames"
  "$bin/kal_bench_painter" "$frames" "$w" "$h" "$fps" &
  local painter=$!
  sleep 1
  for who in kalrec ffmpeg; do
    local out="$work/$who-${w}x${h}-$fps.mp4" log="$work/$who.log"
    local p0 x0
    p0=$(cpu_ticks "$painter")
    x0=$(cpu_ticks "$xvfb_pid")
    if [ "$who" = kalrec ]; then
      /usr/bin/time -f "%U %S %M" -o "$work/time" "$bin/kalrec" record --out "$out" \
        --seconds "$seconds" --fps "$fps" --quality 1 --sound none --area "0,0,$w,$h" --stats \
        </dev/null >"$log" 2>&1
      dropped=$(grep -o 'dropped=[0-9]*' "$log" | tail -n1 | cut -d= -f2)
      first=$(grep -o 'first picture [0-9]* ms' "$log" | grep -o '[0-9]*' || echo "?")
      firsts+=("${w}x${h}@$fps: first picture ${first} ms after Run")
    else
      /usr/bin/time -f "%U %S %M" -o "$work/time" ffmpeg -y -nostdin -f x11grab -framerate "$fps" \
        -video_size "${w}x${h}" -i "$DISPLAY" -t "$seconds" -c:v libx264 -preset ultrafast \
        -tune zerolatency -crf 23 -pix_fmt yuv420p "$out" >"$log" 2>&1
      # ffmpeg prints drop= only once it has dropped something
      dropped=$(tr '\r' '\n' <"$log" | { grep -o 'drop=[ 0-9]*' || true; } | tail -n1 | tr -dc '0-9')
    fi
    local p1 x1
    p1=$(cpu_ticks "$painter")
    x1=$(cpu_ticks "$xvfb_pid")
    read -r user sys rss <"$work/time"
    local pics expected size
    pics=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
      -of csv=p=0 "$out")
    expected=$((seconds * fps))
    size=$(stat -c %s "$out")
    cpu=$(awk -v u="$user" -v s="$sys" -v t="$seconds" 'BEGIN {printf "%.3f", (u + s) / t}')
    content=$(awk -v a="$p0" -v b="$p1" -v hz="$hz" -v t="$seconds" 'BEGIN {printf "%.3f", (b - a) / hz / t}')
    xserver=$(awk -v a="$x0" -v b="$x1" -v hz="$hz" -v t="$seconds" 'BEGIN {printf "%.3f", (b - a) / hz / t}')
    rows+=("$(printf '%-7s %-10s %8s %9s %8s %8s %7s %10s %8s %8s' "$who" "${w}x${h}@$fps" "$cpu" \
      "$((rss / 1024))" "$pics" "$expected" "${dropped:-0}" "$size" "$content" "$xserver")")
    eval "cpu_${who}_${fps}=$cpu"
  done
  kill "$painter" 2>/dev/null || true
  wait "$painter" 2>/dev/null || true
}

run_case 1920 1080 30
run_case 1280 720 60

printf '%-7s %-10s %8s %9s %8s %8s %7s %10s %8s %8s\n' recorder case cpu_s/s peak_MB pictures \
  expected dropped bytes content xserver
printf '%s\n' "${rows[@]}"
printf '%s\n' "${firsts[@]}"
awk -v a="$cpu_kalrec_30" -v b="$cpu_ffmpeg_30" 'BEGIN {printf "cpu_ratio=%.2f\n", a / b}'
