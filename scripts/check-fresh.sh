#!/usr/bin/env bash
# check-fresh.sh: proves that the README's two commands do all the set-up on a fresh Debian 12.
# Builds a minimal bookworm root with mmdebstrap (from this machine's own apt sources), copies
# the repository into it, and runs inside it (chroot) `bash scripts/run.sh` -- until the panel
# is up under Xvfb, then stops it -- and `bash scripts/test.sh`. Needs root.
set -uo pipefail
# shellcheck disable=SC2317  # functions called from the exit trap

usage() {
  cat <<'EOF'
usage: sudo bash scripts/check-fresh.sh [OPTIONS]

Builds a minimal Debian 12 root (mmdebstrap, variant minbase, plus git and ca-certificates),
copies the repository into /root/lw52 inside it and runs there, as root, the README's commands:
  run   bash scripts/run.sh   until build/panel.png is written and the panel has stayed up
        for --settle seconds; then the panel is stopped (that counts as success)
  test  bash scripts/test.sh
Prints each step's exit status and time; exits 0 only if every step succeeded.

options:
  --worktree        copy the working tree (tracked and untracked, not ignored files, as they are
                    now) instead of a clean clone of HEAD
  --keep            keep the root afterwards (default: removed; logs are kept when a step fails)
  --root DIR        use DIR as the root (implies --keep). If DIR already holds a system from an
                    earlier --keep run, the bootstrap is skipped: quick for iterating, but packages
                    installed by that earlier run are still there, so it proves nothing about
                    scripts/setup.sh
  --no-ccache       do not bind the host's compiler cache (${CCACHE_DIR:-~/.cache/ccache}) into
                    the root; every object is compiled afresh
  --mirror URI      the Debian mirror to use (default: the bookworm entries of this machine's
                    /etc/apt/sources.list and /etc/apt/sources.list.d/*.{list,sources})
  --settle SEC      how long the panel must stay up after its screenshot (default 10)
  --timeout SEC     upper limit of the run and of the test step, each (default 10800)
  --only STEPS      comma-separated subset of run,test (default run,test)
  -h, --help        this text

Environment passed into the root: LW52_JOBS (if set). LANG is C.UTF-8 there.
EOF
}

worktree=0 keep=0 root_arg="" use_ccache=1 mirror="" settle=10 step_timeout=10800 only="run,test"
while [ $# -gt 0 ]; do
  case "$1" in
    --worktree) worktree=1 ;;
    --keep) keep=1 ;;
    --root) root_arg="${2:?--root needs a folder}"; keep=1; shift ;;
    --no-ccache) use_ccache=0 ;;
    --mirror) mirror="${2:?--mirror needs a URI}"; shift ;;
    --settle) settle="${2:?--settle needs seconds}"; shift ;;
    --timeout) step_timeout="${2:?--timeout needs seconds}"; shift ;;
    --only) only="${2:?--only needs steps}"; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "check-fresh: unknown argument: $1" >&2; usage >&2; exit 2 ;;
  esac
  shift
done
case ",$only," in *,run,*|*,test,*) ;; *) echo "check-fresh: --only takes run and/or test" >&2; exit 2 ;; esac

die() { echo "check-fresh: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || die "needs root (mmdebstrap, chroot and mounts): sudo bash $0 $*"
repo="$(cd "$(dirname "$0")/.." && pwd)"
git -C "$repo" rev-parse --git-dir >/dev/null 2>&1 || die "$repo is not a git repository"
head_commit="$(git -C "$repo" rev-parse HEAD)" || die "no HEAD commit in $repo"

suite=bookworm
inner_repo=/root/lw52
ccache_host="${CCACHE_DIR:-$HOME/.cache/ccache}"

# --- state shared with the exit handler -----------------------------------------------------
source_desc=""
work=""            # our own temporary folder: logs, apt sources, and the root unless --root
root=""            # the root file system
created_work=0
failed=0
interrupted=0
tail_pid=""
current_step="" current_start=0   # the step running now, recorded as interrupted on Ctrl+C
step_names=() step_rcs=() step_times=() step_notes=()
start_all=$(date +%s)

record() {  # name rc seconds note
  step_names+=("$1") step_rcs+=("$2") step_times+=("$3") step_notes+=("$4")
  [ "$2" -eq 0 ] || failed=1
}
fmt_time() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

# Processes whose root directory is our root: everything started inside it.
root_pids() {
  local p r
  for p in /proc/[0-9]*; do
    r="$(readlink "$p/root" 2>/dev/null)" || continue
    if [ "$r" = "$root" ]; then echo "${p#/proc/}"; fi
  done
}
stop_root_processes() {
  [ -n "$root" ] || return 0
  local pids i
  pids="$(root_pids)"
  [ -n "$pids" ] || return 0
  kill -TERM $pids 2>/dev/null
  for i in $(seq 1 20); do
    pids="$(root_pids)"
    [ -n "$pids" ] || return 0
    sleep 0.5
  done
  kill -KILL $pids 2>/dev/null
  sleep 1
}

# Mount points at or below the root, deepest first (also any left by an interrupted mmdebstrap).
mounts_below() {
  awk -v r="$1" '$5 == r || index($5, r "/") == 1 { print $5 }' /proc/self/mountinfo |
    awk '{ print length($0), $0 }' | sort -rn | cut -d' ' -f2-
}
unmount_all() {
  [ -n "$root" ] || return 0
  local m
  for m in $(mounts_below "$root"); do
    umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || echo "check-fresh: cannot unmount $m" >&2
  done
}

print_summary() {
  local i total=$(( $(date +%s) - start_all ))
  echo
  echo "== check-fresh summary"
  echo "source: $source_desc"
  echo "root:   $root"
  printf '%-10s %5s %9s  %s\n' step exit time note
  for i in "${!step_names[@]}"; do
    printf '%-10s %5s %9s  %s\n' "${step_names[$i]}" "${step_rcs[$i]}" \
      "$(fmt_time "${step_times[$i]}")" "${step_notes[$i]}"
  done
  printf '%-10s %5s %9s\n' total "" "$(fmt_time "$total")"
  if [ "$interrupted" -eq 1 ]; then
    echo "result: INTERRUPTED"
  elif [ "$failed" -eq 0 ]; then
    echo "result: OK"
  else
    echo "result: FAILED"
  fi
}

on_exit() {
  local rc=$?
  trap - EXIT INT TERM HUP
  [ -n "$tail_pid" ] && kill "$tail_pid" 2>/dev/null
  stop_root_processes
  unmount_all
  [ "$rc" -ne 0 ] && [ "$failed" -eq 0 ] && failed=1
  if [ -n "$current_step" ]; then
    record "$current_step" "$rc" $(($(date +%s) - current_start)) "interrupted"
  fi
  if [ ${#step_names[@]} -gt 0 ] || [ "$interrupted" -eq 1 ]; then print_summary; fi
  if [ -n "$root" ] && [ -n "$(mounts_below "$root")" ]; then
    echo "check-fresh: mounts remain below $root; not removing it" >&2
  elif [ "$keep" -eq 1 ]; then
    [ -n "$root" ] && echo "kept: $root (enter it with: chroot $root /bin/bash; mount /proc, /sys, /dev first" \
      "for builds, or rerun with --root $root)"
    [ -n "$work" ] && echo "logs: $work"
  elif [ "$created_work" -eq 1 ]; then
    if [ "$failed" -eq 0 ] && [ "$interrupted" -eq 0 ]; then
      rm -rf --one-file-system "$work"
    else
      rm -rf --one-file-system "$root"
      echo "logs: $work"
    fi
  fi
  if [ "$interrupted" -eq 1 ]; then exit 130; fi
  if [ "$failed" -ne 0 ]; then exit 1; fi
  exit 0
}
trap on_exit EXIT
trap 'interrupted=1; exit 130' INT TERM HUP

# --- the apt sources of this machine, reduced to bookworm's own suites ------------------------
# One-line entries go to host.list, deb822 stanzas to host.sources; deb-src, other suites
# (backports, third-party repositories) and disabled stanzas are left out.
write_host_sources() {
  local list="$1" sources="$2" f
  : >"$list"; : >"$sources"
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v s="$suite" '
      { line = $0; sub(/#.*/, "", line) }
      line ~ /^[ \t]*deb[ \t]/ {
        rest = line; sub(/^[ \t]*deb[ \t]+/, "", rest)
        if (rest ~ /^\[/) { sub(/^\[[^]]*\][ \t]*/, "", rest) }
        split(rest, w, /[ \t]+/)
        if (w[2] ~ ("^" s "(-updates|-security|/updates)?$")) print line
      }' "$f" >>"$list"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v s="$suite" '
      function trim(x) { gsub(/^[ \t]+|[ \t]+$/, "", x); return x }
      function flush(   k, key, types, suites, enabled, n, w, i, keep) {
        if (nf == 0) return
        types = ""; suites = ""; enabled = 1
        for (k = 1; k <= nf; k++) {
          key = tolower(trim(name[k]))
          if (key == "types") types = " " trim(val[k]) " "
          if (key == "suites") suites = trim(val[k])
          if (key == "enabled" && tolower(trim(val[k])) == "no") enabled = 0
        }
        keep = ""
        n = split(suites, w, /[ \t]+/)
        for (i = 1; i <= n; i++)
          if (w[i] ~ ("^" s "(-updates|-security)?$")) keep = keep (keep == "" ? "" : " ") w[i]
        if (enabled && types ~ / deb / && keep != "") {
          print "Types: deb"
          print "Suites: " keep
          for (k = 1; k <= nf; k++) {
            key = tolower(trim(name[k]))
            if (key != "types" && key != "suites" && key != "enabled") print name[k] ":" val[k]
          }
          print ""
        }
        nf = 0
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]/ { if (nf > 0) val[nf] = val[nf] "\n" $0; next }
      { i = index($0, ":"); if (i == 0) next; nf++; name[nf] = substr($0, 1, i - 1); val[nf] = substr($0, i + 1) }
      END { flush() }' "$f" >>"$sources"
  done
}

# --- set-up ------------------------------------------------------------------------------------
if [ -n "$root_arg" ]; then
  mkdir -p "$root_arg" || die "cannot create $root_arg"
  root="$(cd "$root_arg" && pwd -P)"
  case "$root" in *[[:space:]]*) die "the root's path must not contain white space" ;; esac
  [ "$root" != / ] || die "refusing / as the root"
  work="$(mktemp -d /var/tmp/lw52-fresh-logs-XXXXXX)" || die "cannot create a temporary folder"
else
  work="$(mktemp -d /var/tmp/lw52-fresh-XXXXXX)" || die "cannot create a temporary folder"
  created_work=1
  mkdir "$work/root"
  root="$(cd "$work/root" && pwd -P)"
fi
if [ "$worktree" -eq 1 ]; then
  source_desc="working tree of $repo (HEAD $(git -C "$repo" rev-parse --short HEAD) plus uncommitted changes)"
else
  source_desc="clean clone of HEAD $(git -C "$repo" rev-parse --short HEAD) of $repo"
fi
echo "check-fresh: root $root, logs $work"

if ! command -v mmdebstrap >/dev/null; then
  echo "check-fresh: installing mmdebstrap"
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap \
    || die "cannot install mmdebstrap"
fi

# --- step: bootstrap --------------------------------------------------------------------------
if [ -f "$root/etc/debian_version" ] && [ -x "$root/usr/bin/apt-get" ]; then
  echo "== bootstrap: reusing the system in $root (packages of earlier runs are still installed)"
  record reuse 0 0 "kept root reused: setup.sh is not proven by this run"
else
  mirrors=()
  if [ -n "$mirror" ]; then
    mirrors=("deb $mirror $suite main" "deb $mirror $suite-updates main")
  else
    write_host_sources "$work/host.list" "$work/host.sources"
    [ -s "$work/host.list" ] && mirrors+=("$work/host.list")
    [ -s "$work/host.sources" ] && mirrors+=("$work/host.sources")
    [ ${#mirrors[@]} -gt 0 ] || die "no $suite entries in this machine's apt sources; give --mirror URI"
  fi
  aptopts=()
  proxy=""
  eval "$(apt-config shell proxy Acquire::http::Proxy 2>/dev/null)"
  [ -n "$proxy" ] && aptopts+=(--aptopt "Acquire::http::Proxy \"$proxy\"")
  echo "== bootstrap: mmdebstrap $suite (minbase + git ca-certificates) from: ${mirrors[*]}"
  t0=$(date +%s) current_step=bootstrap current_start=$(date +%s)
  bootstrap() {
    mmdebstrap --mode="$1" --variant=minbase --include=git,ca-certificates \
      "${aptopts[@]}" "$suite" "$root" "${mirrors[@]}" 2>&1 | tee -a "$work/bootstrap.log"
  }
  bootstrap auto
  rc=$?
  if [ "$rc" -ne 0 ] && [ "$interrupted" -eq 0 ]; then
    echo "check-fresh: mmdebstrap failed in its default mode; trying --mode=root"
    unmount_all
    rm -rf --one-file-system "$root" && mkdir "$root"
    bootstrap root
    rc=$?
  fi
  current_step=""
  record bootstrap "$rc" $(($(date +%s) - t0)) \
    "$(du -sh --one-file-system "$root" 2>/dev/null | cut -f1) minbase + git ca-certificates"
  [ "$rc" -eq 0 ] || exit 1
fi

# What a fresh installation has and a bare root lacks: name resolution and the hosts file.
cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null
if [ ! -s "$root/etc/hosts" ]; then
  printf '127.0.0.1\tlocalhost\n127.0.1.1\t%s\n::1\tlocalhost ip6-localhost ip6-loopback\n' \
    "$(hostname)" >"$root/etc/hosts"
fi

# --- step: copy -------------------------------------------------------------------------------
echo "== copy: $source_desc -> $inner_repo"
t0=$(date +%s)
dst="$root$inner_repo"
copy_repo() {
  rm -rf --one-file-system "$dst" || return 1
  git clone -q --no-hardlinks --no-checkout "$repo" "$dst" || return 1
  git -C "$dst" checkout -q --detach "$head_commit" || return 1
  [ "$worktree" -eq 1 ] || return 0
  # Tracked files as they are now (deleted ones removed) and untracked files not ignored;
  # staged in the copy so that `git ls-files` there sees what a commit would hold.
  (cd "$repo" && git ls-files -z --deleted) | (cd "$dst" && xargs -0 -r rm -f --) || return 1
  (cd "$repo" && git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do
      if [ -e "$f" ] || [ -L "$f" ]; then printf '%s\0' "$f"; fi
    done | tar --null -T - -cf -) | tar -C "$dst" -xf - || return 1
  git -C "$dst" add -A
}
copy_repo >"$work/copy.log" 2>&1
rc=$?
[ "$rc" -eq 0 ] || cat "$work/copy.log"
record copy "$rc" $(($(date +%s) - t0)) "$(git -C "$dst" status --porcelain 2>/dev/null | wc -l) changed files vs HEAD"
[ "$rc" -eq 0 ] || exit 1

# --- mounts -----------------------------------------------------------------------------------
mount_in() {  # mount_in TARGET mount-arguments...
  local target="$root$1"; shift
  mkdir -p "$target" && mount "$@" "$target" || die "cannot mount $* at $target"
  # Never propagate mounts made below the root back to the host's trees.
  mount --make-rslave "$target" 2>/dev/null || true
}
mount_in /proc -t proc proc
mount_in /sys -t sysfs sysfs
mount_in /dev --bind /dev
mount_in /dev/pts --bind /dev/pts
mount_in /dev/shm -t tmpfs -o mode=1777,nosuid,nodev tmpfs
if [ "$use_ccache" -eq 1 ]; then
  mkdir -p "$ccache_host"
  mount_in /root/.cache/ccache --bind "$ccache_host"
fi
# xvfb-run -a picks the first display without a lock file in /tmp; X servers share abstract
# sockets across roots, so the host's displays are marked as taken inside the root too.
for f in /tmp/.X*-lock; do
  if [ -e "$f" ]; then touch "$root/tmp/${f##*/}"; fi
done

# --- steps inside the root ------------------------------------------------------------------
env_in=(HOME=/root USER=root LOGNAME=root SHELL=/bin/bash TERM="${TERM:-dumb}" LANG=C.UTF-8
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
[ -n "${LW52_JOBS:-}" ] && env_in+=(LW52_JOBS="$LW52_JOBS")

start_in_root() {  # start_in_root LOG COMMAND: starts it in the background; sets step_pid
  : >"$1"
  setsid chroot "$root" /usr/bin/env -i "${env_in[@]}" /bin/bash -c "cd $inner_repo && $2" \
    </dev/null >"$1" 2>&1 &
  step_pid=$!
  tail -n +1 -f --pid="$step_pid" "$1" &
  tail_pid=$!
}
finish_tail() { wait "$tail_pid" 2>/dev/null; tail_pid=""; }

panel_pids() {  # the interactive panel (not the screenshot one) running inside the root
  local p
  for p in $(root_pids); do
    [ "$(cat "/proc/$p/comm" 2>/dev/null)" = lw52panel ] || continue
    tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -q -- '--screenshot' && continue
    echo "$p"
  done
}
stop_panel_first() {  # the panel before its X server, so that it does not see the display vanish
  local pids i
  pids="$(panel_pids)"
  [ -n "$pids" ] || return 0
  kill -TERM $pids 2>/dev/null
  for i in $(seq 1 10); do
    [ -n "$(panel_pids)" ] || return 0
    sleep 0.5
  done
}
last_line() {  # the last line of a log that is not empty, for the summary
  grep -v '^[[:space:]]*$' "$1" 2>/dev/null | tail -n 1 | cut -c1-120
}
png_size() {  # prints WIDTHxHEIGHT of a PNG file, or fails
  [ "$(head -c 8 "$1" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || return 1
  od -An -tu1 -j16 -N8 "$1" |
    awk '{ printf "%dx%d", (($1*256+$2)*256+$3)*256+$4, (($5*256+$6)*256+$7)*256+$8 }'
}

if [[ ",$only," == *,run,* ]]; then
  echo "== run: bash scripts/run.sh (stopped once the panel has stayed up $settle s after its screenshot)"
  t0=$(date +%s) current_step=run current_start=$t0
  png="$dst/build/panel.png"
  rm -f "$png"
  start_in_root "$work/run.log" "bash scripts/run.sh"
  shot_at="" rc="" note=""
  while :; do
    sleep 2
    now=$(date +%s)
    if ! kill -0 "$step_pid" 2>/dev/null; then
      wait "$step_pid"
      rc=$?
      if [ -z "$shot_at" ]; then
        note="run.sh exited with $rc before the panel came up: $(last_line "$work/run.log")"
      else
        note="the panel exited by itself with $rc within $settle s of its screenshot"
      fi
      [ "$rc" -ne 0 ] || rc=1
      break
    fi
    if [ -z "$shot_at" ] && grep -q '^screenshot: build/panel.png' "$work/run.log"; then
      shot_at=$now
    fi
    if [ -n "$shot_at" ] && [ $((now - shot_at)) -ge "$settle" ]; then
      if ! size="$(png_size "$png")"; then
        rc=1 note="no PNG at build/panel.png although run.sh reported one"
      elif [ -z "$(panel_pids)" ]; then
        rc=1 note="screenshot $size written, but no panel running $settle s later"
      else
        rc=0 note="build/panel.png ${size}; panel up ${settle} s, then stopped"
      fi
      stop_panel_first
      stop_root_processes
      wait "$step_pid" 2>/dev/null
      break
    fi
    if [ $((now - t0)) -ge "$step_timeout" ]; then
      stop_root_processes
      wait "$step_pid" 2>/dev/null
      rc=124 note="timed out after $step_timeout s (see $work/run.log)"
      break
    fi
  done
  finish_tail
  current_step=""
  record run "$rc" $(($(date +%s) - t0)) "$note"
fi

if [[ ",$only," == *,test,* ]]; then
  echo "== test: bash scripts/test.sh"
  t0=$(date +%s) current_step=test current_start=$t0
  start_in_root "$work/test.log" "bash scripts/test.sh"
  rc=""
  while kill -0 "$step_pid" 2>/dev/null; do
    if [ $(($(date +%s) - t0)) -ge "$step_timeout" ]; then
      stop_root_processes
      rc=124
      break
    fi
    sleep 2
  done
  wait "$step_pid"
  wrc=$?
  [ -n "$rc" ] || rc=$wrc
  finish_tail
  # ctest's verdicts: a skipped test often means a missing program or package.
  # One "N tests, F failed" per ctest run (full build, ASan+UBSan, TSan).
  passed="$(sed -nE 's/^[0-9]+% tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\2 tests, \1 failed/p' \
    "$work/test.log" | paste -sd ';' | sed 's/;/; /g')"
  skipped="$(grep -oE '[A-Za-z0-9_./:-]+ \((Skipped|Not Run)\)' "$work/test.log" | sort -u |
    paste -sd ';' | sed 's/;/; /g')"
  note="ctest: ${passed:-no result}"
  [ "$rc" -ne 124 ] || note="timed out after $step_timeout s; $note"
  [ -z "$skipped" ] || note="$note; skipped: $skipped"
  [ "$rc" -eq 0 ] || note="$note; last line: $(last_line "$work/test.log")"
  current_step=""
  record test "$rc" $(($(date +%s) - t0)) "$note"
fi
exit 0
