#!/usr/bin/env bash
# build-deb.sh [BUILD_DIR]: builds (BUILD_DIR, default build/), makes the Debian package with
# cpack and checks it with lintian (no errors allowed). As root with dpkg, and when the
# package is not installed already, it then installs the package, checks the installed
# programs, udev rule and desktop entry, and purges it again, leaving the machine as it was.
# The package is left in BUILD_DIR/packages/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
name=lw52
app_id=net.lw52.Panel

die() { echo "build-deb: $*" >&2; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
  command -v "$tool" >/dev/null || die "needs $tool (bash scripts/setup.sh installs it)"
done

echo "== build ($build)"
bash "$root/scripts/build.sh" "$build"

echo "== package"
rm -rf "$build/packages"
if ! (cd "$build" && cpack --config CPackConfig.cmake) >"$build/cpack.log" 2>&1; then
  cat "$build/cpack.log" >&2
  die "cpack failed"
fi
debs=("$build"/packages/${name}_*.deb)
[ -f "${debs[0]}" ] && [ ${#debs[@]} -eq 1 ] || die "want one ${name}_*.deb in $build/packages"
deb="${debs[0]}"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
deb_version="$(dpkg-deb --field "$deb" Version)"
version="${deb_version%-*}"

echo "== lintian"
# Errors fail the build; warnings are listed. Lintian refuses nothing as root but says so.
lintian_rc=0
lintian --fail-on error --display-info "$deb" 2>&1 | grep -v "running with root privileges" ||
  lintian_rc=${PIPESTATUS[0]}
[ "$lintian_rc" -eq 0 ] || die "lintian reports errors"

echo "== install, check, remove"
if [ "$(id -u)" -ne 0 ] || ! command -v dpkg >/dev/null; then
  echo "build-deb: not root or no dpkg: the installation check is skipped"
  echo "build-deb: $deb"
  exit 0
fi
if dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "installed"; then
  echo "build-deb: $name is installed already: the installation check is skipped"
  echo "build-deb: $deb"
  exit 0
fi
# The package comes off again however the checks end.
trap 'dpkg --purge "$name" >/dev/null 2>&1 || true' EXIT
if ! dpkg -i "$deb" >"$build/dpkg.log" 2>&1; then
  cat "$build/dpkg.log" >&2
  die "dpkg -i failed (missing dependencies? bash scripts/setup.sh installs them)"
fi
failures=0
check() { if ! "$@"; then echo "build-deb: check failed: $*" >&2; failures=$((failures + 1)); fi; }
out="$(/usr/bin/lw52ctl --version 2>&1 || true)"
check test "$out" = "lw52ctl $version"
runtime="$(mktemp -d)"
out="$(XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen timeout 30 /usr/bin/lw52panel --version 2>/dev/null || true)"
rm -rf "$runtime"
check test "$out" = "lw52panel $version"
check test -f /usr/lib/udev/rules.d/60-lw52.rules
check test -f "/usr/share/applications/$app_id.desktop"
check test -f "/usr/share/icons/hicolor/scalable/apps/$app_id.svg"
check test -f "/usr/share/doc/$name/copyright"
check test -f /usr/share/man/man1/lw52ctl.1.gz
dpkg --purge "$name" >"$build/dpkg.log" 2>&1 || { cat "$build/dpkg.log" >&2; die "dpkg --purge failed"; }
trap - EXIT
check test ! -e /usr/bin/lw52ctl
[ "$failures" -eq 0 ] || die "$failures installation check(s) failed"
echo "build-deb: installed, checked and removed again: $deb"
