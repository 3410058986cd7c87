#!/usr/bin/env bash
# crash-loop.sh [ROUNDS]: kills the programs that write the user's files with SIGKILL at random
# moments, ROUNDS times (default 1000), and checks after every kill that each file is its old
# or a complete new version: never cut off, never empty, readable by the program's own readers.
#
# Writers: lw52ctl against the virtual card (save-preset, save-effect, effect: the settings
# file), lw52ctl offline (library: EffectList.xml; sounds: QvH31Moodcfg.ini), lw52ctl against
# the local cloud stand-in (cloud effects --download: the downloaded file, Download.ini and the
# settings file), and lw52-crash-driver for what lw52ctl has no command for (favourite and
# effect hotkeys, the download index). The programs come from $LW52_BUILD_DIR (default build).
# Exit 0 when every file survived every kill, 1 on the first torn file (its folder is kept).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rounds="${1:-1000}"
build="${LW52_BUILD_DIR:-$root/build}"
ctl="$build/bin/lw52ctl"
emulator="$build/bin/lw52-emulator"
fixture="$build/bin/lw52-cloud-fixture"
driver="$build/tests/lw52-crash-driver"
fixture_files="$root/tools/cloud-fixture/fixture/effects"
for program in "$ctl" "$emulator" "$fixture" "$driver"; do
  [ -x "$program" ] || { echo "crash-loop: $program is not built" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/lw52-crash.XXXXXX")"
export LW52_VHID_DIR="$work/vhid" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$LW52_VHID_DIR" "$XDG_RUNTIME_DIR" "$work/state"
user="$XDG_DATA_HOME/QvLW52"
pids=()
keep=0
cleanup() {
  exec 7>&- 8>&- || true  # the end of their input ends the stand-ins
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ "$keep" = 0 ]; then rm -rf "$work"; fi
}
trap cleanup EXIT

# The virtual card and the cloud stand-in.
# shellcheck source=scripts/lib/card-and-cloud.sh
source "$root/scripts/lib/card-and-cloud.sh"
start_card_and_cloud

# Every file exists before the first kill.
head -c 4096 /dev/urandom >"$work/clip.mp3"
mapfile -t cloud_names < <("$ctl" cloud effects | cut -f2)
[ "${#cloud_names[@]}" -gt 0 ] || { echo "crash-loop: the cloud stand-in lists no effects" >&2; exit 1; }
setup=(
  "$ctl library add-list base"
  "$ctl sounds add $work/clip.mp3 --name c0"
  "$ctl save-preset 1 0 P0"
  "$driver hotkeys 1"
)
for command in "${setup[@]}"; do
  $command >/dev/null || { echo "crash-loop: setup failed: $command" >&2; exit 1; }
done
"$ctl" cloud effects --download "${cloud_names[0]}" >/dev/null
"$driver" check "$work/state" "$fixture_files" >/dev/null

kills=0
finished=0
for ((round = 1; round <= rounds; ++round)); do
  case $((RANDOM % 9)) in
    0) command=("$ctl" save-preset $((1 + RANDOM % 3)) $((RANDOM % 4)) "P$round") ;;
    1) command=("$ctl" save-effect user $((RANDOM % 12)) "E$round") ;;
    2) command=("$ctl" effect $((RANDOM % 12))) ;;
    3) command=("$ctl" library add-list "L$round") ;;
    4) command=("$ctl" library remove-list "L$((round - 1 - RANDOM % 5))") ;;
    5) command=("$ctl" sounds add "$work/clip.mp3" --name "c$((RANDOM % 40))") ;;
    6) command=("$ctl" sounds favourite $((15000 + RANDOM % 60))) ;;
    7) command=("$driver" hotkeys 20) ;;
    8)
      name="${cloud_names[RANDOM % ${#cloud_names[@]}]}"
      # Half the time the earlier copy goes, so that the download runs again.
      if ((RANDOM % 2)); then find "$user/CloudEff" -mindepth 2 -name '[!.]*' -delete; fi
      command=("$ctl" cloud effects --download "$name")
      ;;
  esac
  "${command[@]}" >/dev/null 2>&1 &
  pid=$!
  # The commands take 40 to 90 ms here; the file writes are a small part of that.
  sleep "0.$(printf '%03d' $((RANDOM % 80)))"
  kill -KILL "$pid" 2>/dev/null || true
  status=0
  { wait "$pid"; } 2>/dev/null || status=$?
  if [ "$status" -eq 137 ]; then kills=$((kills + 1)); else finished=$((finished + 1)); fi
  if ! result="$("$driver" check "$work/state" "$fixture_files" 2>&1)"; then
    keep=1
    echo "crash-loop: round $round (${command[*]}, exit $status): $result" >&2
    echo "crash-loop: the files are kept in $work" >&2
    exit 1
  fi
done
echo "crash-loop: $rounds rounds, $kills killed while running, $finished finished first;" \
  "every file whole and readable (last check: $result)"
