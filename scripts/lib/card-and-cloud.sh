# shellcheck shell=bash disable=SC2154  # work, emulator, fixture and pids come from the caller
# Sourced by the scripts that run lw52ctl against the virtual card and the cloud stand-in
# (scripts/crash-loop.sh, cli/tests/full-disk.sh). The caller sets: work (a scratch folder),
# emulator and fixture (the two programs), LW52_VHID_DIR, and an array pids whose processes
# it ends on exit.

# wait_for_line LOG TEXT: prints the first line of LOG that holds TEXT, waiting up to 10 s.
wait_for_line() {
  local log="$1" text="$2"
  for _ in $(seq 200); do
    if grep -q "$text" "$log" 2>/dev/null; then grep -m1 "$text" "$log"; return 0; fi
    sleep 0.05
  done
  echo "no '$text' in $log" >&2
  cat "$log" >&2
  return 1
}

# start_card_and_cloud: the virtual card and the cloud stand-in, each reading commands from a
# FIFO held open here (descriptors 7 and 8); exports LW52_CLOUD_URL.
start_card_and_cloud() {
  mkfifo "$work/emulator.in" "$work/fixture.in"
  "$emulator" --dir "$LW52_VHID_DIR" <"$work/emulator.in" >"$work/emulator.log" 2>&1 &
  pids+=($!)
  exec 7>"$work/emulator.in"
  "$fixture" --port 0 <"$work/fixture.in" >"$work/fixture.log" 2>&1 &
  pids+=($!)
  exec 8>"$work/fixture.in"
  wait_for_line "$work/emulator.log" "listening on" >/dev/null || return 1
  LW52_CLOUD_URL="$(wait_for_line "$work/fixture.log" "listening on" | sed 's/.*listening on //')"
  [ -n "$LW52_CLOUD_URL" ] || return 1
  export LW52_CLOUD_URL
}
