#!/usr/bin/env bash
# Runs one command inside a private test session and tears the session down.
#
#   session.sh [--display] [--sound] [--] COMMAND [ARGS...]
#
# Always: a fresh HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR under a temporary
# folder, so no test touches the user's configuration or logs.
# --display: a private Xvfb (1920x1080x24, -noreset) as $DISPLAY.
# --sound:   a private PulseAudio server (no other clients) as $PULSE_SERVER,
#            with the null sink "kal_sink" as default sink and the source
#            "kal_tone" as default source: a microphone that hears a steady
#            sine of $KAL_TEST_TONE_HZ (default 440 Hz). The tone is played
#            into the null sink "kal_air", whose monitor kal_tone remaps, as
#            module-sine-source would only deliver blocks of seconds.
set -u

want_display=0
want_sound=0
while [ $# -gt 0 ]; do
  case "$1" in
    --display) want_display=1; shift ;;
    --sound) want_sound=1; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--display] [--sound] [--] COMMAND..." >&2; exit 2; }

session=$(mktemp -d /tmp/kal-session.XXXXXX)
xvfb_pid=""
pulse_pid=""
cleanup() {
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
    -L "module-sine sink=kal_air frequency=$tone" \
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
else
  # No server at all: clients must not find or spawn one.
  export PULSE_SERVER="unix:$session/no-pulse.sock"
fi

"$@"
