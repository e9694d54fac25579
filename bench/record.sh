#!/usr/bin/env bash
# Recording benchmark: kalrec against `ffmpeg -f x11grab` with the same
# encoder settings, one after the other on the same private Xvfb. Cases:
#   moving   full-screen moving content (1080p30, 720p60)
#   desktop  a still screen with a terminal printing a line every 100 ms
#            (1080p30, and 2160p30 on an Xvfb of that size)
#   typing   a still screen and the cursor moving over it (1080p30)
# The desktop cases also run kalrec with the content-driven frame rate
# (recorder "content"). Prints a table, desktop_ratio (kalrec/ffmpeg,
# desktop 1080p30), content_ratio (the same in content mode) and, last,
# cpu_ratio=kalrec/ffmpeg for moving 1080p30.
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
hz=$(getconf CLK_TCK)
session_display=$DISPLAY

rows=()
firsts=()
# The X server of $DISPLAY: the newest Xvfb (the bench's own 2160p one
# while it runs).
xserver_pid() { pgrep -n -x Xvfb || true; }

start_content() {  # KIND WIDTH HEIGHT FPS: sets content_pids
  local kind=$1 w=$2 h=$3 fps=$4
  content_pids=()
  xsetroot -solid '#2b5797'
  case $kind in
    moving)
      local frames="$work/frames-${w}x${h}.bgra"
      [ -s "$frames" ] || ffmpeg -v error -f lavfi -i "testsrc2=size=${w}x${h}:rate=$fps" \
        -frames:v 30 -pix_fmt bgra -f rawvideo "$frames"
      "$bin/kal_bench_painter" "$frames" "$w" "$h" "$fps" &
      content_pids+=($!) ;;
    desktop)
      xterm -geometry 100x30+200+200 -e sh -c 'i=0; while :; do i=$((i+1)); echo "line $i $(date +%T.%N)"; sleep 0.1; done' &
      content_pids+=($!) ;;
    typing)
      sh -c 'while :; do for x in 300 500 700 900 700 500; do xdotool mousemove "$x" 400; sleep 0.05; done; done' &
      content_pids+=($!) ;;
  esac
  sleep 1
}

run_case() {  # KIND WIDTH HEIGHT FPS
  local kind=$1 w=$2 h=$3 fps=$4
  local xvfb_pid painter
  xvfb_pid=$(xserver_pid)
  start_content "$kind" "$w" "$h" "$fps"
  painter=${content_pids[0]}
  local recorders=(kalrec ffmpeg)
  [ "$kind" = desktop ] && recorders=(kalrec content ffmpeg)
  for who in "${recorders[@]}"; do
    local out="$work/$who-$kind-${w}x${h}-$fps.mp4" log="$work/$who.log"
    local p0 x0
    p0=$(cpu_ticks "$painter")
    x0=$(cpu_ticks "$xvfb_pid")
    if [ "$who" != ffmpeg ]; then
      local mode=constant
      [ "$who" = content ] && mode=content
      /usr/bin/time -f "%U %S %M" -o "$work/time" "$bin/kalrec" record --out "$out" \
        --seconds "$seconds" --fps "$fps" --quality 1 --sound none --area "0,0,$w,$h" --stats \
        --frame-rate-mode "$mode" </dev/null >"$log" 2>&1
      dropped=$(grep -o 'dropped=[0-9]*' "$log" | tail -n1 | cut -d= -f2)
      first=$(grep -o 'first picture [0-9]* ms' "$log" | grep -o '[0-9]*' || echo "?")
      firsts+=("$kind ${w}x${h}@$fps: first picture ${first} ms after Run")
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
    played=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out")
    size=$(stat -c %s "$out")
    cpu=$(awk -v u="$user" -v s="$sys" -v t="$seconds" 'BEGIN {printf "%.3f", (u + s) / t}')
    content=$(awk -v a="$p0" -v b="$p1" -v hz="$hz" -v t="$seconds" 'BEGIN {printf "%.3f", (b - a) / hz / t}')
    xserver=$(awk -v a="$x0" -v b="$x1" -v hz="$hz" -v t="$seconds" 'BEGIN {printf "%.3f", (b - a) / hz / t}')
    rows+=("$(printf '%-7s %-8s %-10s %8s %9s %8s %8s %7s %10s %8s %8s %8.2f' "$who" "$kind" "${w}x${h}@$fps" "$cpu" \
      "$((rss / 1024))" "$pics" "$expected" "${dropped:-0}" "$size" "$content" "$xserver" "$played")")
    eval "cpu_${who}_${kind}_${h}_${fps}=$cpu"
  done
  kill "${content_pids[@]}" 2>/dev/null || true
  wait "${content_pids[@]}" 2>/dev/null || true
}

run_case moving 1920 1080 30
run_case moving 1280 720 60
run_case desktop 1920 1080 30
run_case typing 1920 1080 30

# 2160p30 on an X server of that size.
Xvfb -displayfd 5 -screen 0 3840x2160x24 -nolisten tcp +extension MIT-SHM 5>"$work/display4k" \
  >/dev/null 2>&1 &
xvfb4k=$!
for _ in $(seq 100); do [ -s "$work/display4k" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display4k")"
run_case desktop 3840 2160 30
kill "$xvfb4k" 2>/dev/null || true
export DISPLAY=$session_display

printf '%-7s %-8s %-10s %8s %9s %8s %8s %7s %10s %8s %8s %8s\n' recorder content case cpu_s/s \
  peak_MB pictures expected dropped bytes content xserver seconds
printf '%s\n' "${rows[@]}"
printf '%s\n' "${firsts[@]}"
awk -v a="$cpu_kalrec_desktop_1080_30" -v b="$cpu_ffmpeg_desktop_1080_30" \
  'BEGIN {printf "desktop_ratio=%.2f\n", a / b}'
awk -v a="$cpu_content_desktop_1080_30" -v b="$cpu_ffmpeg_desktop_1080_30" \
  'BEGIN {printf "content_ratio=%.2f\n", a / b}'
awk -v a="$cpu_kalrec_moving_1080_30" -v b="$cpu_ffmpeg_moving_1080_30" \
  'BEGIN {printf "cpu_ratio=%.2f\n", a / b}'
