#!/usr/bin/env bash
# soak.sh [--bin DIR] [--no-panel] [CYCLES]: pulls the virtual card out and plugs it in again
# CYCLES times (default 1000) while `lw52ctl watch` runs and parameters are being changed.
# Fails on a crash, a hang, a card not connected again after a cycle, or growth in threads,
# open files or memory (the first hundred cycles against the last hundred; fewer cycles
# compare the first and last third). Prints the figures.
#
# Default: the panel (lw52panel on the offscreen platform) holds the card; watch and the
# changes (lw52ctl set/effect) go through it. --no-panel, for builds without the panel (the
# sanitizer trees): watch holds the card directly, and lw52ctl commands use a second card,
# which is sometimes pulled out under them.
#
# DIR holds lw52ctl, lw52-emulator and lw52panel (default: build/bin). Environment:
#   LW52_SOAK_RSS_TOLERANCE_KB  memory growth allowed between the windows (default 4096)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$root/build/bin"
panel=1
cycles=1000
while [ $# -gt 0 ]; do
  case "$1" in
    --bin) bin="$2"; shift 2 ;;
    --no-panel) panel=0; shift ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    *) cycles="$1"; shift ;;
  esac
done
[[ "$cycles" =~ ^[0-9]+$ ]] && [ "$cycles" -ge 3 ] || { echo "soak: CYCLES must be 3 or more" >&2; exit 2; }
rss_tolerance="${LW52_SOAK_RSS_TOLERANCE_KB:-4096}"
ctl="$bin/lw52ctl"
for program in "$ctl" "$bin/lw52-emulator"; do
  [ -x "$program" ] || { echo "soak: $program is missing (build it first)" >&2; exit 2; }
done
if [ "$panel" -eq 1 ] && [ ! -x "$bin/lw52panel" ]; then
  echo "soak: $bin/lw52panel is missing (or use --no-panel)" >&2
  exit 2
fi

tmp="$(mktemp -d "${TMPDIR:-/tmp}/lw52-soak.XXXXXX")"
# Everything the programs keep or look for lies in the private folder; no session bus, no
# display, no reachable cloud service.
export XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/run"
export LW52_VHID_DIR="$tmp/vhid" QT_QPA_PLATFORM=offscreen
export LW52_CLOUD_URL="http://127.0.0.1:9/tuning"
unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$LW52_VHID_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

declare -A card_in card_out card_pid
pids=()
cleanup() {
  local pid
  touch "$tmp/stop"
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ -n "${LW52_SOAK_KEEP:-}" ]; then echo "soak: files kept in $tmp"; else rm -rf "$tmp"; fi
}
trap cleanup EXIT

fail() {
  echo "soak: FAILED: $*" >&2
  local log
  for log in "$tmp"/*.err; do
    [ -s "$log" ] || continue
    echo "--- last lines of $(basename "$log")" >&2
    tail -n 15 "$log" >&2
  done
  exit 1
}

# A virtual card driven through its console, its frames traced in NAME.trace: start_card NAME
# PRODUCT (0x61 or 0x7B).
start_card() {
  local name="$1" product="$2" line
  mkfifo "$tmp/$name.in" "$tmp/$name.out"
  "$bin/lw52-emulator" --dir "$LW52_VHID_DIR" --instance "$name" --product "$product" \
    --trace "$tmp/$name.trace" <"$tmp/$name.in" >"$tmp/$name.out" 2>"$tmp/$name.err" &
  card_pid[$name]=$!
  pids+=("$!")
  exec {fd}>"$tmp/$name.in"
  card_in[$name]=$fd
  exec {fd}<"$tmp/$name.out"
  card_out[$name]=$fd
  IFS= read -r -t 20 line <&"${card_out[$name]}" || fail "card $name did not start"
  [[ "$line" == *listening* ]] || fail "card $name: $line"
}
card() {
  local name="$1" line
  shift
  echo "$*" >&"${card_in[$name]}"
  IFS= read -r -t 20 line <&"${card_out[$name]}" || fail "card $name did not answer '$*'"
  [ "$line" = ok ] || fail "card $name: $*: $line"
}
card_path() { echo "$LW52_VHID_DIR/hid#VID_2B53&PID_00${2#0x}#$1"; }

# Runs lw52ctl with a bound: a hang (exit 124) or a crash (killed by a signal) fails the soak;
# any other result is returned.
ctl_run() {
  local rc=0
  timeout 60 "$ctl" "$@" >>"$tmp/ctl.out" 2>>"$tmp/ctl.err" || rc=$?
  [ "$rc" -ne 124 ] || fail "lw52ctl $* hung"
  [ "$rc" -lt 128 ] || fail "lw52ctl $* crashed (status $rc)"
  [ "$rc" -ne 66 ] || fail "lw52ctl $* reported a data race"
  return "$rc"
}

# wait_until SECONDS COMMAND...: polls COMMAND until it succeeds.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.02
  done
}
# A child that ended stays a zombie until waited for: kill -0 would still find it.
ended() {
  local state
  state=$(awk '/^State:/ {print $2}' "/proc/$1/status" 2>/dev/null || true)
  [ -z "$state" ] || [ "$state" = Z ]
}
alive() { ! ended "$1"; }
# Threads, open descriptors and resident memory (kB) of a process.
figures() {
  local threads rss
  threads=$(awk '/^Threads:/ {print $2}' "/proc/$1/status")
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$1/status")
  echo "$threads $(find "/proc/$1/fd" -mindepth 1 -maxdepth 1 | wc -l) $rss"
}
# The connection events watch has printed: the last one, and how many "connected".
last_event() { grep -Eo '"event" *: *"(connected|disconnected)"' "$tmp/watch.out" | tail -n 1 | grep -Eo '(dis)?connected"$' | tr -d '"'; }
connected_events() { grep -Ec '"event" *: *"connected"' "$tmp/watch.out" || true; }
watch_says_connected() { [ "$(last_event)" = connected ] && [ "$(connected_events)" -ge "$1" ]; }
# wait_gone CYCLE WHEN: the holder of the card has let it go.
wait_gone() {
  if [ "$panel" -eq 1 ]; then
    wait_until 20 bash -c "! timeout 60 '$ctl' info >/dev/null 2>&1" ||
      fail "cycle $1: the panel still reports the card $2"
  else
    wait_until 20 bash -c "[ \"\$(grep -Eo '\"(dis)?connected\"' '$tmp/watch.out' | tail -n 1)\" = '\"disconnected\"' ]" ||
      fail "cycle $1: watch did not see the card go $2"
  fi
}

start_card soak 0x61
if [ "$panel" -eq 1 ]; then
  "$bin/lw52panel" >"$tmp/panel.out" 2>"$tmp/panel.err" &
  owner=$!
  pids+=("$owner")
  wait_until 60 grep -q "main window shown" "$tmp/panel.out" || fail "the panel did not start"
  wait_until 30 ctl_run info || fail "the panel did not connect to the card"
fi
"$ctl" --json --verbose watch --no-levels >"$tmp/watch.out" 2>"$tmp/watch.err" &
watch=$!
pids+=("$watch")
wait_until 30 watch_says_connected 1 || fail "watch did not see the card"
[ "$panel" -eq 1 ] || owner=$watch

# Changes made all along: through the panel, or to the second card (pulled out under a
# command now and then, from the main loop).
if [ "$panel" -eq 1 ]; then
  (
    i=0
    while [ ! -e "$tmp/stop" ]; do
      if [ $((i % 2)) -eq 0 ]; then args=(set 30 $((i % 101))); else args=(effect $((i % 12))); fi
      rc=0
      timeout 60 "$ctl" "${args[@]}" >/dev/null 2>>"$tmp/changes.err" || rc=$?
      echo "$rc" >>"$tmp/changes.log"
      i=$((i + 1))
    done
  ) &
  pids+=("$!")
else
  start_card other 0x7B
  other="$(card_path other 0x7B)"
fi

echo "soak: $cycles cycles ($([ "$panel" -eq 1 ] && echo "panel, watch through it" || echo "watch and commands, no panel"))"
start=$SECONDS
: >"$tmp/samples"
for ((i = 1; i <= cycles; i++)); do
  if [ $((i % 10)) -eq 5 ]; then
    # The card resets: its connection ends but it stays, so nothing reports a removal. The
    # programs must let it go by themselves; it is back once pulled out and plugged in.
    card soak hangup
    wait_gone "$i" "after its connection ended"
    card soak unplug
  else
    card soak unplug
    # Sometimes the programs see the card go before it comes back, sometimes not.
    case $((i % 4)) in
      0 | 1) wait_gone "$i" "after it was pulled out" ;;
      3) sleep "0.0$((i % 7))" ;;
    esac
  fi
  card soak plug
  if [ "$panel" -eq 1 ]; then
    wait_until 30 ctl_run info || fail "cycle $i: the panel did not connect to the card again"
  else
    wait_until 30 watch_says_connected $((i + 1)) || fail "cycle $i: watch did not take the card again"
  fi
  if [ "$panel" -eq 0 ]; then
    # A command on the second card while watch holds the first (so that it does not take the
    # second when it comes back); every fifth one loses its card half-way.
    args=(--device "$other" set 30 $((i % 101)))
    [ $((i % 3)) -ne 1 ] || args=(--device "$other" effect $((i % 12)))
    [ $((i % 3)) -ne 2 ] || args=(--device "$other" info)
    if [ $((i % 5)) -eq 0 ]; then
      # Pulled once the command has the card, while it waits for a (slow) reply.
      card other fault delay 300
      connects=$(grep -c '"event":"connect"' "$tmp/other.trace" || true)
      rm -f "$tmp/pulled.rc"
      (
        rc=0
        timeout 60 "$ctl" --verbose "${args[@]}" >>"$tmp/ctl.out" 2>>"$tmp/pulled.err" || rc=$?
        echo "$rc" >"$tmp/pulled.rc"
      ) &
      command=$!
      wait_until 60 bash -c "[ -s '$tmp/pulled.rc' ] ||
        [ \$(grep -c '\"event\":\"connect\"' '$tmp/other.trace') -gt $connects ]" ||
        fail "cycle $i: lw52ctl ${args[*]} did not open its card"
      sleep "0.$(((i / 5) % 3))"
      card other unplug
      wait "$command" || true
      rc=$(cat "$tmp/pulled.rc")
      [ "$rc" -le 1 ] || fail "cycle $i: lw52ctl ${args[*]} ended with $rc when its card went"
      echo "$rc" >>"$tmp/pulled.log"
      card other fault clear
      card other plug
    else
      ctl_run "${args[@]}" || fail "cycle $i: lw52ctl ${args[*]} failed"
    fi
  fi
  alive "$owner" || fail "cycle $i: the $([ "$panel" -eq 1 ] && echo panel || echo watch) ended"
  alive "$watch" || fail "cycle $i: watch ended"
  echo "$i $(figures "$owner") $(figures "$watch")" >>"$tmp/samples"
  if [ $((i % 100)) -eq 0 ]; then echo "soak: $i cycles, $((SECONDS - start)) s"; fi
done
elapsed=$((SECONDS - start))

# The card ends connected and answering; watch has seen it back.
if [ "$panel" -eq 1 ]; then
  ctl_run --json state >/dev/null || fail "state through the panel failed at the end"
  ctl_run info >/dev/null || fail "info through the panel failed at the end"
fi
wait_until 30 watch_says_connected $((cycles + 1)) || fail "watch did not end connected"
touch "$tmp/stop"
if [ "$panel" -eq 1 ]; then
  wait "${pids[-1]}" 2>/dev/null || true
  changes_ok=$(grep -cx 0 "$tmp/changes.log" || true)
  changes_all=$(wc -l <"$tmp/changes.log")
  ! grep -qxE '124|1[3-9][0-9]' "$tmp/changes.log" || fail "a change through the panel hung or crashed"
  [ "$changes_ok" -gt 0 ] || fail "no change through the panel succeeded"
  echo "soak: changes through the panel: $changes_ok of $changes_all accepted (the others while no card was there)"
fi
# watch and the panel end cleanly when asked to (a sanitizer's exit report included).
stop() {
  local pid="$1" name="$2" rc=0
  alive "$pid" || fail "$name had ended before the end"
  kill -TERM "$pid"
  wait_until 30 ended "$pid" || fail "$name did not end on SIGTERM"
  wait "$pid" || rc=$?
  [ "$rc" -eq 0 ] || fail "$name ended with status $rc"
}
stop "$watch" watch
[ "$panel" -eq 0 ] || stop "$owner" "the panel"
! grep -q "ThreadSanitizer\|AddressSanitizer\|LeakSanitizer\|runtime error" "$tmp"/*.err ||
  fail "a sanitizer reported a fault"
if [ "$panel" -eq 0 ]; then
  echo "soak: commands whose card was pulled out under them: $(grep -c . "$tmp/pulled.log"), $(grep -c "the device is gone" "$tmp/pulled.err" || true) saw it go; exit status 1: $(grep -cx 1 "$tmp/pulled.log" || true), 0: $(grep -cx 0 "$tmp/pulled.log" || true)"
fi
holder_log="$tmp/watch.err"
[ "$panel" -eq 0 ] || holder_log="$tmp/panel.err"
echo "soak: let go on the connection's end before any removal: $(grep -c "no removal reported: let go" "$holder_log" || true) times ($((cycles / 10 + (cycles % 10 >= 5))) resets without a removal)"

# First and last window: the highest thread and descriptor counts and the mean memory.
window=$((cycles / 3 < 100 ? cycles / 3 : 100))
report() {
  local name="$1" column="$2"
  awk -v w="$window" -v n="$cycles" -v c="$column" -v tol="$rss_tolerance" -v name="$name" '
    { t[NR] = $(c); f[NR] = $(c + 1); r[NR] = $(c + 2) }
    END {
      for (i = 1; i <= w; i++) { if (t[i] > t1) t1 = t[i]; if (f[i] > f1) f1 = f[i]; r1 += r[i] }
      for (i = n - w + 1; i <= n; i++) { if (t[i] > t2) t2 = t[i]; if (f[i] > f2) f2 = f[i]; r2 += r[i] }
      r1 = int(r1 / w); r2 = int(r2 / w)
      printf "soak: %-5s threads %d -> %d, fds %d -> %d, RSS %d -> %d kB (%+d kB, allowed %d)\n",
        name, t1, t2, f1, f2, r1, r2, r2 - r1, tol
      exit !(t2 <= t1 && f2 <= f1 && r2 - r1 <= tol)
    }' "$tmp/samples"
}
echo "soak: $cycles cycles in $elapsed s; first $window cycles -> last $window cycles (max threads and fds, mean RSS):"
grown=0
if [ "$panel" -eq 1 ]; then report panel 2 || grown=1; fi
report watch 5 || grown=1
[ "$grown" -eq 0 ] || fail "threads, descriptors or memory grew"
echo "soak: ok"
