#!/usr/bin/env bash
# The main job: installs what is needed, builds, and runs the panel. A real card on the USB
# bus is used when one is plugged in; otherwise a virtual card (lw52-emulator) stands in,
# with its sound device on the sound server, and is stopped when the panel exits. Without a
# sound server a private PulseAudio daemon serves the session. Without a display the panel
# runs under Xvfb and a screenshot of it is written to build/panel.png.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

if [ -z "${LW52_RUN_UNDER_XVFB:-}" ]; then
  bash scripts/setup.sh
  LW52_JOBS="${LW52_JOBS:-$(nproc)}" bash scripts/build.sh "$root/build" >/dev/null
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "no display: running the panel under Xvfb (Ctrl+C ends it)"
    LW52_RUN_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$@"
  fi
fi
bin="$root/build/bin"

emulator_pid=""
cloud_pid=""
pulse_pid=""
work="$(mktemp -d /tmp/lw52-run-XXXXXX)"
cleanup() {
  # In this order: the emulator removes its sound device from the sound server on exit.
  for pid in $emulator_pid $cloud_pid $pulse_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# The sound server: the user's own when one answers. Otherwise (a bare machine, a container)
# a private PulseAudio daemon for this run only, everything of it under $work: the user's
# own sound configuration is neither read nor changed.
sound_server=""
if command -v pactl >/dev/null 2>&1 && pactl info >/dev/null 2>&1; then
  sound_server="yes"
elif command -v pulseaudio >/dev/null 2>&1; then
  pulse_dir="$work/pulse"
  mkdir -m 700 "$pulse_dir"
  printf 'load-module module-native-protocol-unix auth-anonymous=1 socket=%s/native\n' \
    "$pulse_dir" >"$pulse_dir/session.pa"
  HOME="$pulse_dir" XDG_RUNTIME_DIR="$pulse_dir" XDG_CONFIG_HOME="$pulse_dir/config" \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-level=error \
    -F "$pulse_dir/session.pa" </dev/null >"$work/pulse.out" 2>&1 &
  pulse_pid=$!
  for _ in $(seq 1 100); do
    [ -S "$pulse_dir/native" ] && break
    kill -0 "$pulse_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -S "$pulse_dir/native" ]; then
    export PULSE_SERVER="unix:$pulse_dir/native"
    sound_server="yes"
    echo "no sound server: a private PulseAudio daemon serves this run"
  else
    echo "no sound server, and a private one did not start: no sound ($(head -n 1 "$work/pulse.out"))"
  fi
else
  echo "no sound server and no pulseaudio: no sound"
fi

if "$bin/lw52ctl" devices | grep -q '^/dev/hidraw'; then
  echo "using the card on the USB bus"
else
  export LW52_VHID_DIR="$work/vhid"
  # Its sound device (output looped back to the line in) stands in for the card's as well.
  audio=()
  if [ -n "$sound_server" ]; then audio=(--audio); fi
  "$bin/lw52-emulator" --dir "$LW52_VHID_DIR" --levels 10 --trace "$work/trace.jsonl" \
    "${audio[@]}" </dev/null >"$work/emulator.out" 2>&1 &
  emulator_pid=$!
  for _ in $(seq 1 100); do
    grep -q "listening on" "$work/emulator.out" 2>/dev/null && break
    kill -0 "$emulator_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "no card on the bus: a virtual card stands in ($(head -n 1 "$work/emulator.out"))"
fi

# The demo's cloud: the local fixture service, unless a cloud address is configured.
if [ -z "${LW52_CLOUD_URL:-}" ]; then
  "$bin/lw52-cloud-fixture" --port 0 >"$work/cloud.out" 2>&1 &
  cloud_pid=$!
  for _ in $(seq 1 100); do
    grep -q "listening on" "$work/cloud.out" 2>/dev/null && break
    sleep 0.1
  done
  LW52_CLOUD_URL="$(grep -o 'http://[^ ]*' "$work/cloud.out" | head -n 1)"
  export LW52_CLOUD_URL
  echo "cloud service: the local fixture at $LW52_CLOUD_URL"
fi

if [ -n "${LW52_RUN_UNDER_XVFB:-}" ]; then
  "$bin/lw52panel" --screenshot "$root/build/panel.png" --delay-ms 800 || true
  echo "screenshot: build/panel.png"
fi
"$bin/lw52panel" "$@"
