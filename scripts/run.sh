#!/usr/bin/env bash
# The main job: installs what is needed, builds, and runs the panel. A real card on the USB
# bus is used when one is plugged in; otherwise a virtual card (lw52-emulator) stands in and
# is stopped when the panel exits. Without a display the panel runs under Xvfb and a
# screenshot of it is written to build/panel.png.
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
work="$(mktemp -d /tmp/lw52-run-XXXXXX)"
cleanup() {
  for pid in $emulator_pid $cloud_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

if "$bin/lw52ctl" devices | grep -q '^/dev/hidraw'; then
  echo "using the card on the USB bus"
else
  export LW52_VHID_DIR="$work/vhid"
  "$bin/lw52-emulator" --dir "$LW52_VHID_DIR" --levels 10 --trace "$work/trace.jsonl" \
    </dev/null >"$work/emulator.out" 2>&1 &
  emulator_pid=$!
  for _ in $(seq 1 100); do
    grep -q "listening on" "$work/emulator.out" 2>/dev/null && break
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
