#!/usr/bin/env bash
# vm-hid-test.sh: proves the real device path (uhid -> hid -> hidraw, udev) in a small guest.
# Boots Debian's own kernel under qemu (TCG) with an initramfs holding busybox, the HID
# modules, systemd-udevd and lw52-emulator and lw52ctl from BUILD_DIR, and runs the checks of
# scripts/vm/init there against /dev/hidrawN. Exits 0 when the guest reports PASS, 77 when
# qemu-system-x86_64 is missing or the build cannot run the card checks yet (no --uhid),
# 1 otherwise.
set -uo pipefail

usage() {
  cat <<'EOF'
usage: bash scripts/vm-hid-test.sh [OPTIONS] [BUILD_DIR]

Runs lw52ctl against a kernel HID device (lw52-emulator --uhid) in a qemu guest: hidraw
enumeration through udev, info, state, set, effect, 64- and 40-byte cards, watch through
unplug/plug cycles, a user without access to the node, lw52ctl doctor's explanation of that
and the udev rule (packaging/udev/60-lw52.rules) installed as it says. BUILD_DIR (default
build/) must hold bin/lw52-emulator and bin/lw52ctl.

The kernel (linux-image-amd64's image package), busybox-static, udev and the libraries
udevd needs are fetched with apt-get download into the cache folder and extracted there,
one folder per package version; later runs reuse them and need no network.

options:
  --cache DIR      the cache folder (default $LW52_VM_CACHE, else ~/.cache/lw52-vm)
  --timeout SEC    upper limit of the guest's run (default 300)
  --keep           keep the work folder (initramfs, serial log) and print its path
  -h, --help       this text

Exit status: 0 every check passed; 1 a check failed or the guest did not finish;
77 skipped: qemu-system-x86_64 is not installed, or lw52-emulator has no --uhid.
EOF
}

root="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$root/build"
cache="${LW52_VM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lw52-vm}"
vm_timeout=300
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --cache) cache="${2:?--cache needs a folder}"; shift ;;
    --timeout) vm_timeout="${2:?--timeout needs seconds}"; shift ;;
    --keep) keep=1 ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "vm-hid-test: unknown option: $1" >&2; usage >&2; exit 2 ;;
    *) build_dir="$1" ;;
  esac
  shift
done
case "$vm_timeout" in ''|*[!0-9]*) echo "vm-hid-test: --timeout takes whole seconds" >&2; exit 2 ;; esac

die() { echo "vm-hid-test: $*" >&2; exit 1; }
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }

if ! command -v qemu-system-x86_64 >/dev/null; then
  echo "vm-hid-test: SKIP: qemu-system-x86_64 is not installed (apt-get install qemu-system-x86)" >&2
  exit 77
fi
for tool in apt-get apt-cache dpkg-deb ldd gzip find awk timeout; do
  command -v "$tool" >/dev/null || die "$tool is needed on this machine"
done
[ -d "$build_dir" ] || die "no build folder $build_dir"
build_dir="$(cd "$build_dir" && pwd)"
for prog in lw52-emulator lw52ctl; do
  [ -x "$build_dir/bin/$prog" ] || die "$build_dir/bin/$prog is missing (build it first)"
done
if ! "$build_dir/bin/lw52-emulator" --help 2>&1 | grep -q -- '--uhid'; then
  echo "vm-hid-test: note: $build_dir/bin/lw52-emulator has no --uhid: the guest can only check" \
    "udev, the modules and the empty enumeration; the card checks are reported as skipped"
fi

work="$(mktemp -d /tmp/lw52-vm-XXXXXX)" || die "cannot create a work folder"
cleanup() {
  if [ "$keep" -eq 1 ]; then
    echo "vm-hid-test: kept $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

t_start=$(now)
mkdir -p "$cache/debs" "$cache/pkgs" || die "cannot create the cache folder $cache"

# --- packages -------------------------------------------------------------------------------
# apt-cache takes most of a warm run's time, so each question goes to it once for all packages.
# deps_of PACKAGE...: "package dependency" lines (Depends and Pre-Depends of the candidates).
deps_of() {
  apt-cache depends --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
    --no-enhances "$@" 2>/dev/null |
    awk '/^[^ ]/ { p = $1; next } $1 ~ /^\|?(Pre)?Depends:$/ && $2 !~ /^</ { print p, $2 }'
}
# lib_depends PACKAGE: the library packages PACKAGE needs, recursively, without the C and C++
# runtimes (those come from this machine, with the libraries of our own programs).
lib_depends() {
  local seen=" " level="$1" next d
  while [ -n "$level" ]; do
    next=""
    # shellcheck disable=SC2086  # a list of package names
    for d in $(deps_of $level | awk '{ print $2 }'); do
      case "$d" in libc6|libgcc-s1|libstdc++6|libudev1) continue ;; lib*) ;; *) continue ;; esac
      case "$seen" in *" $d "*) continue ;; esac
      seen="$seen$d "
      next="$next $d"
      echo "$d"
    done
    level="$next"
  done
}
declare -A candidates=()
read_candidates() {
  local p v
  candidates=()
  while read -r p v; do candidates[$p]="$v"; done < <(apt-cache policy "$@" 2>/dev/null |
    awk '/^[^ ]/ { p = $1; sub(/:.*/, "", p) } $1 == "Candidate:" && $2 != "(none)" { print p, $2 }')
}
updated=0
apt_update() {
  [ "$updated" -eq 0 ] || return 1
  updated=1
  echo "vm-hid-test: apt-get update" >&2
  apt-get update -qq >&2 || true
}
# fetch PACKAGE: prints the folder its candidate version is extracted into (cached by version).
fetch() {
  local pkg="$1" ver deb dir
  ver="${candidates[$pkg]:-}"
  [ -n "$ver" ] || { echo "vm-hid-test: apt has no candidate for $pkg" >&2; return 1; }
  dir="$cache/pkgs/${pkg}_${ver//:/%3a}"
  [ -f "$dir/.complete" ] && { echo "$dir"; return 0; }
  deb="$(find "$cache/debs" -maxdepth 1 -name "${pkg}_${ver//:/%3a}_*.deb" | head -n 1)"
  if [ -z "$deb" ]; then
    echo "vm-hid-test: downloading $pkg $ver" >&2
    if ! (cd "$cache/debs" && apt-get download -q "$pkg=$ver" >/dev/null 2>"$work/apt.err"); then
      echo "vm-hid-test: apt-get download $pkg=$ver failed: $(grep -v '^W:' "$work/apt.err" | tail -n 2)" >&2
      return 1
    fi
    deb="$(find "$cache/debs" -maxdepth 1 -name "${pkg}_${ver//:/%3a}_*.deb" | head -n 1)"
    [ -n "$deb" ] || { echo "vm-hid-test: the download of $pkg left no .deb" >&2; return 1; }
  fi
  rm -rf "$dir"
  if ! { mkdir -p "$dir" && dpkg-deb -x "$deb" "$dir" && touch "$dir/.complete"; }; then
    echo "vm-hid-test: cannot extract $deb" >&2
    rm -rf "$dir"
    return 1
  fi
  echo "$dir"
}

resolve() {
  kernel_pkg="$(deps_of linux-image-amd64 | awk '$2 ~ /^linux-image-/ { print $2; exit }')"
  udev_libs=()
  mapfile -t udev_libs < <(lib_depends udev)
  packages=("$kernel_pkg" busybox-static udev "${udev_libs[@]}")
  read_candidates "${packages[@]}"
}
fetch_all() {
  local p d
  kernel_dir="$(fetch "$kernel_pkg")" || return 1
  busybox_dir="$(fetch busybox-static)" || return 1
  udev_dir="$(fetch udev)" || return 1
  udev_lib_dirs=()
  for p in "${udev_libs[@]}"; do
    d="$(fetch "$p")" || return 1
    udev_lib_dirs+=("$d")
  done
}
resolve
# A missing or stale package list (a version the mirror no longer has): update once, retry.
if [ -z "$kernel_pkg" ] || [ -z "${candidates[$kernel_pkg]:-}" ] || ! fetch_all; then
  apt_update && resolve
  [ -n "$kernel_pkg" ] || die "apt cannot resolve linux-image-amd64 to a kernel package"
  fetch_all || die "cannot fetch the guest's packages"
fi
# Older versions of these packages (an updated kernel leaves ~500 MB behind) go.
for p in "${packages[@]}"; do
  keep_name="${p}_${candidates[$p]//:/%3a}"
  for old in "$cache/pkgs/${p}_"* "$cache/debs/${p}_"*.deb; do
    [ -e "$old" ] || continue
    case "$(basename "$old")" in "$keep_name" | "${keep_name}_"*.deb) continue ;; esac
    rm -rf "$old"
  done
done
t_fetched=$(now)

kver="$(ls "$kernel_dir/lib/modules" | head -n 1)"
vmlinuz="$kernel_dir/boot/vmlinuz-$kver"
[ -n "$kver" ] && [ -f "$vmlinuz" ] || die "no kernel image in $kernel_dir"
busybox="$busybox_dir/bin/busybox"
[ -x "$busybox" ] || die "no busybox in $busybox_dir"

# --- the initramfs --------------------------------------------------------------------------
stage="$work/root"
mkdir -p "$stage"/{usr/bin,usr/sbin,usr/lib/x86_64-linux-gnu,usr/lib64,proc,sys,dev,run,tmp,root,home/lw52,etc/lw52-vm,opt/lw52/bin}
for d in bin sbin lib lib64; do ln -s "usr/$d" "$stage/$d"; done

cp "$busybox" "$stage/usr/bin/busybox"
while read -r applet; do
  [ -e "$stage/$applet" ] || [ -L "$stage/$applet" ] || ln -s /usr/bin/busybox "$stage/$applet"
done < <("$busybox" --list-full)

# The modules, each after what it depends on.
moddir="$kernel_dir/lib/modules/$kver"
mod_file() {  # module name -> its file (names use _ where file names may use -)
  local pattern="${1//_/[-_]}"
  find "$moddir/kernel" -name "$pattern.ko" -o -name "$pattern.ko.xz" -o -name "$pattern.ko.zst" | head -n 1
}
mod_depends() {  # file -> the module names it depends on
  case "$1" in
    *.xz) xz -dc "$1" ;;
    *.zst) zstd -dc "$1" ;;
    *) cat "$1" ;;
  esac | tr '\0' '\n' | sed -n 's/^depends=//p' | tr ',' ' '
}
mods_done=" "
add_module() {
  local name="$1" file dep rel
  case "$mods_done" in *" $name "*) return 0 ;; esac
  file="$(mod_file "$name")"
  [ -n "$file" ] || die "module $name is not in $kernel_pkg"
  for dep in $(mod_depends "$file"); do add_module "$dep"; done
  mods_done="$mods_done$name "
  rel="${file#"$moddir"/}"
  rel="${rel%.xz}"; rel="${rel%.zst}"
  mkdir -p "$stage/lib/modules/$kver/$(dirname "$rel")"
  case "$file" in
    *.xz) xz -dc "$file" >"$stage/lib/modules/$kver/$rel" ;;
    *.zst) zstd -dc "$file" >"$stage/lib/modules/$kver/$rel" ;;
    *) cp "$file" "$stage/lib/modules/$kver/$rel" ;;
  esac
  echo "$rel" >>"$stage/etc/lw52-vm/modules"
}
: >"$stage/etc/lw52-vm/modules"
for m in hid hid_generic uhid; do add_module "$m"; done

# Programs and the shared libraries they load (with the dynamic loader).
# copy_libs FILE [LIBRARY_PATH]: copies what ldd resolves; a library already there stays.
copy_libs() {
  local file="$1" libpath="${2:-}" out line src dest
  if ! out="$(LD_LIBRARY_PATH="$libpath" ldd "$file" 2>&1)"; then
    # A static program or a script needs nothing more.
    grep -q 'not a dynamic executable' <<<"$out" && return 0
    die "ldd $file: $out"
  fi
  if grep -q 'not found' <<<"$out"; then die "libraries missing for $file: $(grep 'not found' <<<"$out" | tr '\n' ' ')"; fi
  while read -r line; do
    case "$line" in
      *'=> /'*) src="${line#*=> }"; src="${src%% (*}" ;;
      /*) src="${line%% (*}" ;;
      *) continue ;;
    esac
    dest="$src"
    for d in "$udev_dir" "${udev_lib_dirs[@]}"; do dest="${dest#"$d"}"; done
    [ -e "$stage$dest" ] && continue
    mkdir -p "$stage$(dirname "$dest")"
    cp -L "$src" "$stage$dest" || die "cannot copy $src"
  done <<<"$out"
}
for prog in lw52ctl lw52-emulator; do
  # Without their debug information the programs are a fraction of the size to pack and unpack.
  if ! command -v strip >/dev/null ||
    ! strip --strip-debug -o "$stage/opt/lw52/bin/$prog" "$build_dir/bin/$prog" 2>/dev/null; then
    cp "$build_dir/bin/$prog" "$stage/opt/lw52/bin/" || die "cannot copy $prog"
  fi
done
[ -f "$build_dir/bin/EffectList.xml" ] && cp "$build_dir/bin/EffectList.xml" "$stage/opt/lw52/bin/"
[ -d "$build_dir/bin/Effect" ] && cp -r "$build_dir/bin/Effect" "$stage/opt/lw52/bin/"
copy_libs "$build_dir/bin/lw52ctl"
copy_libs "$build_dir/bin/lw52-emulator"

# udev: the daemon (udevadm under another name), the rules that concern hidraw nodes and
# the default permissions, and fido_id, which one of them runs.
udev_libpath=""
for d in "${udev_lib_dirs[@]}"; do
  for sub in lib/x86_64-linux-gnu usr/lib/x86_64-linux-gnu; do
    [ -d "$d/$sub" ] && udev_libpath="${udev_libpath:+$udev_libpath:}$d/$sub"
  done
done
udevadm_src="$udev_dir/bin/udevadm"
[ -x "$udevadm_src" ] || udevadm_src="$udev_dir/usr/bin/udevadm"
[ -x "$udevadm_src" ] || die "no udevadm in the udev package"
cp "$udevadm_src" "$stage/usr/bin/udevadm"
mkdir -p "$stage/usr/lib/systemd" "$stage/usr/lib/udev/rules.d" "$stage/etc/udev/rules.d"
ln -s /usr/bin/udevadm "$stage/usr/lib/systemd/systemd-udevd"
copy_libs "$udevadm_src" "$udev_libpath"
udev_rules_src="$udev_dir/lib/udev"
[ -d "$udev_rules_src" ] || udev_rules_src="$udev_dir/usr/lib/udev"
for rules in 50-udev-default.rules 60-fido-id.rules; do
  cp "$udev_rules_src/rules.d/$rules" "$stage/usr/lib/udev/rules.d/" || die "no $rules in the udev package"
done
if [ -x "$udev_rules_src/fido_id" ]; then
  cp "$udev_rules_src/fido_id" "$stage/usr/lib/udev/"
  copy_libs "$udev_rules_src/fido_id" "$udev_libpath"
fi
[ -f "$udev_dir/etc/udev/udev.conf" ] && cp "$udev_dir/etc/udev/udev.conf" "$stage/etc/udev/"

# Users and the groups the default rules name; uid 1000 is the user without access.
cat >"$stage/etc/passwd" <<'EOF'
root:x:0:0:root:/root:/bin/sh
lw52:x:1000:1000:lw52:/home/lw52:/bin/sh
EOF
{
  echo "root:x:0:"
  gid=5
  for g in tty dialout kmem input video render audio lp disk cdrom tape sgx kvm floppy sudo; do
    echo "$g:x:$gid:"
    gid=$((gid + 1))
  done
  echo "lw52:x:1000:"
} >"$stage/etc/group"
: >"$stage/etc/shadow"
chmod 600 "$stage/etc/shadow"

# The udev rule the packages install, for the guest to install as lw52ctl doctor says; and
# what logind's rules (73-seat-late.rules, not in the udev package) do with its tag: the
# uaccess builtin, which gives access only to the user of an active seat session.
[ -f "$root/packaging/udev/60-lw52.rules" ] && cp "$root/packaging/udev/60-lw52.rules" "$stage/etc/lw52-vm/"
echo 'TAG=="uaccess", ENV{MAJOR}!="", RUN{builtin}+="uaccess"' >"$stage/usr/lib/udev/rules.d/73-seat-late.rules"

install -m 0755 "$root/scripts/vm/init" "$stage/init"

initrd="$work/initrd.gz"
(cd "$stage" && find . | LC_ALL=C sort | "$busybox" cpio -o -H newc -R 0:0 2>/dev/null | gzip -1 >"$initrd") ||
  die "cannot pack the initramfs"
t_packed=$(now)
echo "vm-hid-test: kernel $kver, initramfs $(du -h "$initrd" | cut -f1) ($(find "$stage" -type f | wc -l) files)," \
  "prepared in $(elapsed "$t_start" "$t_packed") s (packages $(elapsed "$t_start" "$t_fetched") s); cache $cache"

# --- boot -----------------------------------------------------------------------------------
log="$work/serial.log"
echo "vm-hid-test: booting (qemu TCG, limit $vm_timeout s)"
t_boot=$(now)
timeout -k 10 "$vm_timeout" qemu-system-x86_64 -accel tcg -m 512 -nographic -no-reboot \
  -nic none -kernel "$vmlinuz" -initrd "$initrd" \
  -append "console=ttyS0 quiet panic=-1" </dev/null 2>&1 |
  sed -u 's/\r$//; s/\x1b\[[0-9;?]*[A-Za-z]//g; s/\x1bc//g' | tee "$log"
qemu_rc=${PIPESTATUS[0]}
t_end=$(now)

echo
echo "== vm-hid-test summary"
# The guest's own summary (the check lines again, after its header), else whatever it printed.
if grep -q '^== guest summary' "$log"; then
  sed -n '/^== guest summary/,$p' "$log" | grep -E '^(VM-CHECK|== guest)'
else
  grep -E '^VM-CHECK' "$log"
fi
grep -E '^VM-TIME' "$log"
echo "host: preparation $(elapsed "$t_start" "$t_packed") s, guest run (qemu) $(elapsed "$t_boot" "$t_end") s," \
  "total $(elapsed "$t_start" "$t_end") s"
result="$(grep -E '^VM-RESULT: ' "$log" | tail -n 1)"
case "$result" in
  "VM-RESULT: PASS")
    echo "result: PASS"
    exit 0 ;;
  "VM-RESULT: SKIP"*)
    echo "result: SKIPPED (${result#VM-RESULT: SKIP } checks need lw52-emulator --uhid)"
    exit 77 ;;
  "VM-RESULT: FAIL"*)
    echo "result: FAILED (${result#VM-RESULT: FAIL } checks)"
    keep=1
    exit 1 ;;
  *)
    if [ "$qemu_rc" -eq 124 ] || [ "$qemu_rc" -eq 137 ]; then
      echo "result: FAILED (the guest did not finish within $vm_timeout s)"
    else
      echo "result: FAILED (the guest ended without a result, qemu exit $qemu_rc)"
    fi
    keep=1
    exit 1 ;;
esac
