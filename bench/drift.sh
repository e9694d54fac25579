#!/usr/bin/env bash
# Sound against picture with microphones whose clocks run fast, slow and
# right: a PulseAudio pipe source fed by kal_bench_drift_feeder (a tone with
# a mark every 5 s, and a white square on the screen at each mark) is the
# microphone of a SECONDS-long kalrec recording (default 60), once for each
# clock error in PPMS (default "2000 -2000 0", i.e. 0.2 % fast, 0.2 % slow,
# right). Prints, per clock, where each sound mark sits against its picture,
# then a summary line; the last line is the worst of them all.
# With "system" the tone is system sound instead: kal_bench_drift_sink plays
# it into a PulseAudio pipe sink and reads the sink's output at the clock
# given, as a sound card would, and the recording takes the sink's monitor.
#   bench/drift.sh [SECONDS] [PPMS] [mic|system]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
ppms=${2:-"2000 -2000 0"}
kind=${3:-mic}
case "$kind" in mic | system) ;; *) echo "usage: $0 [SECONDS] [PPMS] [mic|system]" >&2; exit 2 ;; esac
if [ -z "${KAL_TEST_SESSION:-}" ]; then
  [ "${SKIP_BUILD:-0}" = 1 ] || bash "$root/scripts/build.sh" >/dev/null
  exec "$root/tests/harness/session.sh" --display --sound -- "$0" "$@"
fi
bin="$root/build/bin"
work="$KAL_TEST_SESSION/drift"
mkdir -p "$work"
# The tone's level is part of the measure: no gain control.
mkdir -p "$HOME/.config/KalRecorder"
printf '[global]\nmicrophone-check=0\n' >"$HOME/.config/KalRecorder/configure.ini"
worst_drift=0 worst_offset=0
for ppm in $ppms; do
  fifo="$work/$kind-$ppm.fifo"
  # The feeder plays a sound card, whose clock never waits for a busy
  # machine: it runs at real-time priority where it may.
  rt=()
  chrt -f 10 true 2>/dev/null && rt=(chrt -f 10)
  if [ "$kind" = mic ]; then
    module=$(pactl load-module module-pipe-source source_name=kal_drift file="$fifo" \
      format=s16le rate=44100 channels=1)
    pactl set-default-source kal_drift
    "${rt[@]}" "$bin/kal_bench_drift_feeder" "$fifo" "$ppm" $((seconds + 8)) &
  else
    module=$(pactl load-module module-pipe-sink sink_name=kal_drift_sink file="$fifo" \
      format=s16le rate=44100 channels=1)
    pactl set-default-sink kal_drift_sink
    "${rt[@]}" "$bin/kal_bench_drift_sink" "$fifo" kal_drift_sink "$ppm" $((seconds + 8)) &
  fi
  feeder=$!
  sleep 1
  out="$work/drift$ppm.${KAL_DRIFT_EXT:-mkv}"
  "$bin/kalrec" record --out "$out" --seconds "$seconds" --fps 30 --sound "$kind" </dev/null \
    >"$work/summary-$ppm" 2>"$work/stats-$ppm"
  kill "$feeder" 2>/dev/null || true
  wait "$feeder" 2>/dev/null || true
  pactl unload-module "$module"
  [ -n "${KAL_DRIFT_KEEP:-}" ] && mkdir -p "$KAL_DRIFT_KEEP" &&
    cp -r "$out" "$HOME/.local/share/KalRecorder/Log" "$KAL_DRIFT_KEEP/"
  echo "$kind clock $ppm ppm:"
  result=$(python3 "$root/bench/drift_analyse.py" "$out" "$ppm")
  echo "$result"
  summary=$(tail -n1 <<<"$result")
  d=$(sed -n 's/.*drift_ms=\([0-9na-]*\).*/\1/p' <<<"$summary")
  o=$(sed -n 's/.*offset_ms=\([0-9na-]*\).*/\1/p' <<<"$summary")
  worst_drift=$(awk -v a="$worst_drift" -v b="$d" 'BEGIN {print (b == "nan" || b > a) ? b : a}')
  worst_offset=$(awk -v a="$worst_offset" -v b="$o" 'BEGIN {print (b == "nan" || b > a) ? b : a}')
done
echo "worst: drift_ms=$worst_drift offset_ms=$worst_offset (goals: 20 and 30)"
