#!/usr/bin/env bash
# Runs one command inside a private test session and tears the session down.
#
#   session.sh [--display] [--sound] [--a11y] [--] COMMAND [ARGS...]
#
# Always: a fresh HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR under a temporary
# folder, so no test touches the user's configuration or logs.
# --display: a private Xvfb (1920x1080x24, -noreset) as $DISPLAY.
# --sound:   a private PulseAudio server as $PULSE_SERVER, with the null
#            sink "kal_sink" as default sink (kept clocked by a silent
#            stream) and the source "kal_tone" as
#            default source: a microphone that hears a steady sine of
#            $KAL_TEST_TONE_HZ (default 440 Hz). Nothing reads the recorded
#            sources but the program under test, as on a user's desktop.
#            The microphone is the remapped monitor of the null sink
#            "kal_air", into which pacat plays the tone in 10 ms periods, as
#            a sound card's clock would deliver it (module-sine and
#            module-sine-source render blocks of seconds, which no
#            microphone does).
# --a11y:    a private session bus with the accessibility bus on it, and
#            Qt programs that publish their controls there, so a test finds
#            a control by role and text (tests/harness/a11y.py).
set -u

want_display=0
want_sound=0
want_a11y=0
while [ $# -gt 0 ]; do
  case "$1" in
    --display) want_display=1; shift ;;
    --sound) want_sound=1; shift ;;
    --a11y) want_a11y=1; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--display] [--sound] [--] COMMAND..." >&2; exit 2; }

session=$(mktemp -d /tmp/kal-session.XXXXXX)
xvfb_pid=""
pulse_pid=""
a11y_pids=""
cleanup() {
  [ -n "$a11y_pids" ] && kill $a11y_pids 2>/dev/null
  [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$session"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export HOME="$session/home"
export XDG_DATA_HOME="$session/home/.local/share"
export XDG_RUNTIME_DIR="$session/run"
export XDG_CONFIG_HOME="$session/home/.config"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
export KAL_TEST_SESSION="$session"

if [ "$want_display" = 1 ]; then
  Xvfb -displayfd 7 -screen 0 1920x1080x24 -noreset -nolisten tcp +extension MIT-SHM \
    7>"$session/display" >"$session/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$session/display" ] && break
    sleep 0.05
  done
  [ -s "$session/display" ] || { echo "Xvfb did not start" >&2; cat "$session/xvfb.log" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$session/display")"
else
  unset DISPLAY
fi

if [ "$want_sound" = 1 ]; then
  tone=${KAL_TEST_TONE_HZ:-440}
  export KAL_TEST_TONE_HZ="$tone"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    --disable-shm=no --log-target=file:"$session/pulse.log" \
    -L "module-native-protocol-unix socket=$session/pulse.sock auth-anonymous=1" \
    -L "module-null-sink sink_name=kal_sink" \
    -L "module-null-sink sink_name=kal_air" \
    -L "module-remap-source master=kal_air.monitor source_name=kal_tone" \
    >/dev/null 2>&1 &
  pulse_pid=$!
  export PULSE_SERVER="unix:$session/pulse.sock"
  for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.05
  done
  pactl info >/dev/null 2>&1 || { echo "PulseAudio did not start" >&2; cat "$session/pulse.log" >&2; exit 1; }
  pactl set-default-sink kal_sink
  pactl set-default-source kal_tone
  # A null sink left idle renders two seconds ahead at a time, and a new
  # stream, or a new reader of its monitor, then waits out that block: a
  # sound card's clock never stops so. A silent stream keeps the clock of
  # "kal_sink" running at 100 ms, which still leaves the engine to ask for
  # the short latency it needs; the first reader of the monitor takes the
  # server past its start.
  pacat --latency-msec=100 -d kal_sink --format=s16le --rate=44100 --channels=2 \
    --client-name=kal-test-clock </dev/zero >/dev/null 2>&1 &
  timeout 10 parec -d kal_sink.monitor --latency-msec=10 --raw --format=s16le --channels=1 \
    --rate=16000 2>/dev/null | head -c 16000 >/dev/null
  # Ends by itself when the server goes.
  ffmpeg -v quiet -f lavfi -i "sine=frequency=$tone:sample_rate=44100" -f s16le -ac 1 - |
    pacat --latency-msec=10 -d kal_air --format=s16le --rate=44100 --channels=1 \
      --client-name=kal-test-microphone >/dev/null 2>&1 &
else
  # No server at all: clients must not find or spawn one.
  export PULSE_SERVER="unix:$session/no-pulse.sock"
fi

if [ "$want_a11y" = 1 ]; then
  eval "$(dbus-launch --sh-syntax)"
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  a11y_pids="$DBUS_SESSION_BUS_PID $!"
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
fi

"$@"
