#!/usr/bin/env bash
# The main job: installs what is needed, builds, and talks to the card. A real card on the
# USB bus is found first; without one a virtual card (lw52-emulator) stands in.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
LW52_JOBS="${LW52_JOBS:-$(nproc)}" bash scripts/build.sh "$root/build" >/dev/null
bin="$root/build/bin"

vhid="$(mktemp -d /tmp/lw52-demo-XXXXXX)"
export LW52_VHID_DIR="$vhid"
export XDG_DATA_HOME="$vhid/data"  # the demo keeps its state apart from yours
emulator_in="$vhid/emulator.in"
mkfifo "$emulator_in"
"$bin/lw52-emulator" --dir "$vhid" --trace "$vhid/trace.jsonl" <"$emulator_in" >"$vhid/emulator.out" &
emulator_pid=$!
exec 3>"$emulator_in"  # keeps the emulator's command input open
cleanup() {
  echo quit >&3 2>/dev/null || true
  exec 3>&-
  wait "$emulator_pid" 2>/dev/null || true
  rm -rf "$vhid"
}
trap cleanup EXIT

for _ in $(seq 1 100); do
  grep -q "listening on" "$vhid/emulator.out" 2>/dev/null && break
  sleep 0.1
done

echo "== lw52ctl devices"
"$bin/lw52ctl" devices
echo
echo "== lw52ctl info"
"$bin/lw52ctl" info
echo
echo "== lw52ctl set 36 50 (reverb volume), then effect 1, then the state"
"$bin/lw52ctl" set 36 50
"$bin/lw52ctl" effect 1
"$bin/lw52ctl" state | head -n 12
echo
echo "== lw52ctl upload-effect resources/effects/warm-hall.dteff"
"$bin/lw52ctl" upload-effect "$root/resources/effects/warm-hall.dteff"
echo
echo "== frames the virtual card saw"
cut -c1-110 "$vhid/trace.jsonl" 2>/dev/null | tail -n 6 || true
