#!/usr/bin/env bash
# full-disk.sh BUILD_DIR: every writer of the user's files on a full disk ends with an error
# message, the old file intact and no temporary file left behind. The user's folder is a small
# tmpfs mounted in a private mount namespace (unshare); exit 77 (skipped) when none can be
# mounted here.
set -euo pipefail
build="${1:?usage: full-disk.sh BUILD_DIR}"
ctl="$build/bin/lw52ctl"
emulator="$build/bin/lw52-emulator"
fixture="$build/bin/lw52-cloud-fixture"
driver="$build/tests/lw52-crash-driver"

if [ "${LW52_FULL_DISK_INSIDE:-}" != 1 ]; then
  probe="$(mktemp -d)"
  if ! unshare -rm sh -c "mount -t tmpfs -o size=64k tmpfs '$probe'" 2>/dev/null; then
    rmdir "$probe"
    echo "full-disk: skipped: no tmpfs can be mounted here (unshare -rm, mount -t tmpfs)"
    exit 77
  fi
  rmdir "$probe"
  LW52_FULL_DISK_INSIDE=1 exec unshare -rm bash "$0" "$@"
fi

work="$(mktemp -d)"
export LW52_VHID_DIR="$work/vhid" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$LW52_VHID_DIR" "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME"
mount -t tmpfs -o size=2m tmpfs "$XDG_DATA_HOME"
user="$XDG_DATA_HOME/QvLW52"
pids=()
cleanup() {
  exec 7>&- 8>&- || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  umount "$XDG_DATA_HOME" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=scripts/lib/card-and-cloud.sh
source "$(dirname "$0")/../../scripts/lib/card-and-cloud.sh"
start_card_and_cloud
mapfile -t cloud_names < <("$ctl" cloud effects | cut -f2)

# Every file exists while there is room.
head -c 4096 /dev/urandom >"$work/clip.mp3"
"$ctl" library add-list base >/dev/null
"$ctl" sounds add "$work/clip.mp3" --name c0 >/dev/null
"$ctl" save-preset 1 0 P0 >/dev/null
"$ctl" save-effect user 0 E0 >/dev/null
"$driver" hotkeys 1 >/dev/null
"$ctl" cloud effects --download "${cloud_names[0]}" >/dev/null
"$ctl" convert-sound "builtin:DJ_ZS" "$user/clip.wav" >/dev/null
cp -a "$user" "$work/before"

# Fill the disk to the last block.
dd if=/dev/zero of="$XDG_DATA_HOME/filler" bs=4k 2>/dev/null || true

failures=0
expect_refused() {
  local what="$1"
  shift
  local status=0
  "$@" >"$work/out" 2>"$work/err" || status=$?
  if [ "$status" -eq 0 ]; then
    echo "FAIL $what: succeeded on a full disk" >&2
    failures=$((failures + 1))
  elif [ ! -s "$work/err" ]; then
    echo "FAIL $what: exit $status without a message" >&2
    failures=$((failures + 1))
  else
    echo "ok   $what: exit $status: $(tail -1 "$work/err")"
  fi
  if ! diff -r "$work/before" "$user" >/dev/null; then
    echo "FAIL $what: the old files changed:" >&2
    diff -rq "$work/before" "$user" >&2 || true
    failures=$((failures + 1))
    rm -rf "$work/before" && cp -a "$user" "$work/before"
  fi
  local leftovers
  leftovers="$(find "$user" -name '.*' -type f)"
  if [ -n "$leftovers" ]; then
    echo "FAIL $what: temporary files left: $leftovers" >&2
    failures=$((failures + 1))
  fi
}

expect_refused "library add-list (EffectList.xml)" "$ctl" library add-list full
expect_refused "library remove-list (EffectList.xml)" "$ctl" library remove-list base
expect_refused "sounds add (QvH31Moodcfg.ini)" "$ctl" sounds add "$work/clip.mp3" --name c1
expect_refused "sounds favourite (QvH31Moodcfg.ini)" "$ctl" sounds favourite 15018
expect_refused "save-preset (QvH31ConfigData.db)" "$ctl" save-preset 2 1 P1
expect_refused "save-effect (QvH31ConfigData.db)" "$ctl" save-effect user 1 E1
expect_refused "hotkeys (Moodcfg, settings, Download.ini)" "$driver" hotkeys 2
expect_refused "cloud download (file, Download.ini)" "$ctl" cloud effects --download "${cloud_names[1]}"
expect_refused "convert-sound (a WAV over an old one)" \
  "$ctl" convert-sound "builtin:DJ_HH" "$user/clip.wav"

# With room again the same writes go through: the failures above were the disk's.
rm -f "$XDG_DATA_HOME/filler"
"$ctl" library add-list full >/dev/null
"$ctl" save-preset 2 1 P1 >/dev/null
if [ "$failures" -ne 0 ]; then
  echo "full-disk: $failures failures" >&2
  exit 1
fi
echo "full-disk: every writer refused cleanly"
