#!/bin/sh
# Runs a command inside a private X server (Xvfb) and a private PulseAudio
# daemon with a null sink, and stops both afterwards. The tests then never
# touch the operator's own desktop or speakers, and work where there is no
# display or sound server at all.
#   scripts/with-test-session.sh <command> [args...]
set -eu

work=$(mktemp -d /tmp/morvik-session.XXXXXX)
xvfb_pid=""
pulse_pid=""
cleanup() {
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# X: let Xvfb pick a free display number and tell it through a pipe.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
[ -s "$work/display" ] || { echo "Xvfb did not start:"; cat "$work/xvfb.log"; exit 1; }
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY

# Sound: a PulseAudio daemon of our own with one null sink at 48 kHz.
mkdir -p "$work/runtime"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
export PULSE_SERVER="unix:$work/pulse.sock"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --disable-shm=yes \
    --use-pid-file=no --system=no --log-target=stderr \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$work/pulse.sock" \
    -L "module-null-sink sink_name=morvik_null rate=48000 channels=1" \
    >"$work/pulse.log" 2>&1 &
pulse_pid=$!
for _ in $(seq 1 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.05
done
pactl info >/dev/null 2>&1 || { echo "PulseAudio did not start:"; cat "$work/pulse.log"; exit 1; }
pactl set-default-sink morvik_null
export MORVIK_TEST_SINK=morvik_null

"$@"
