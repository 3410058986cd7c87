#!/usr/bin/env bash
# install-tree-check.sh BUILD_DIR VERSION APP_ID "ICON_SIZES": installs the build into a
# temporary prefix and checks the tree a package is made from: every file in its place, the
# desktop entry, metadata and icon agreeing on one id, completion and manual page knowing
# every command of lw52ctl, and the installed programs running.
set -uo pipefail
build="$1" version="$2" id="$3" sizes="$4"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
stage="$tmp/stage"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

if ! cmake --install "$build" --prefix "$stage" >"$tmp/install.log" 2>&1; then
  cat "$tmp/install.log" >&2
  echo "FAIL: cmake --install" >&2
  exit 1
fi
cd "$stage"

# Only the two programs; the development tools stay out.
bins="$(ls bin | tr '\n' ' ')"
[ "$bins" = "lw52ctl lw52panel " ] || fail "bin holds '$bins', want 'lw52ctl lw52panel'"
for f in bin/lw52ctl bin/lw52panel; do
  [ -x "$f" ] || fail "$f is not executable"
  if readelf -d "$f" 2>/dev/null | grep -qE 'RPATH|RUNPATH'; then fail "$f has an RPATH"; fi
done

for f in lib/udev/rules.d/60-lw52.rules share/applications/$id.desktop \
  share/metainfo/$id.metainfo.xml share/icons/hicolor/scalable/apps/$id.svg \
  share/bash-completion/completions/lw52ctl share/doc/lw52/copyright \
  share/lw52/EffectList.xml; do
  [ -s "$f" ] || fail "missing or empty: $f"
done
for page in lw52panel lw52ctl; do
  gzip -t "share/man/man1/$page.1.gz" 2>/dev/null || fail "no valid share/man/man1/$page.1.gz"
done

# Every PNG icon is the size its folder names.
for size in $sizes; do
  png="share/icons/hicolor/${size}x${size}/apps/$id.png"
  if [ ! -f "$png" ]; then fail "missing: $png"; continue; fi
  read -r w0 w1 w2 w3 h0 h1 h2 h3 < <(od -An -tu1 -j16 -N8 "$png")
  w=$(((w0 << 24) | (w1 << 16) | (w2 << 8) | w3)) h=$(((h0 << 24) | (h1 << 16) | (h2 << 8) | h3))
  [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "$png is ${w}x${h}"
done

# Each effect file the shipped library lists is installed under Effect/.
listed=0
while read -r file; do
  listed=$((listed + 1))
  [ -f "share/lw52/Effect/$file" ] || fail "EffectList.xml lists $file, not installed"
done < <(grep -o 'Path="Effect\\[^"]*"' share/lw52/EffectList.xml | sed 's/^Path="Effect\\//;s/"$//')
[ "$listed" -gt 0 ] || fail "EffectList.xml lists no effect files"

# The udev rule tags the hidraw nodes of both products for the seat's user, found through
# the USB device and through the HID device's name (a card without a USB parent).
rule=lib/udev/rules.d/60-lw52.rules
for p in 0061 007b; do
  grep -q "ATTRS{idProduct}==\"$p\".*TAG+=\"uaccess\"" "$rule" || fail "$rule: no USB match for $p"
  grep -qi "KERNELS==\"0003:2B53:$p\.\*\".*TAG+=\"uaccess\"" "$rule" || fail "$rule: no HID match for $p"
done

# Desktop entry, metadata and icon agree.
desktop=share/applications/$id.desktop
grep -qx "Icon=$id" "$desktop" || fail "$desktop: Icon is not $id"
exec_prog="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
[ -x "bin/$exec_prog" ] || fail "$desktop: Exec '$exec_prog' is not an installed program"
metainfo=share/metainfo/$id.metainfo.xml
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "$metainfo: launchable is not $id.desktop"
grep -q "<release version=\"$version\"" "$metainfo" || fail "$metainfo: no release $version"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" >"$tmp/as.log" 2>&1 ||
    { cat "$tmp/as.log" >&2; fail "appstreamcli validate $metainfo"; }
fi

# The installed programs run.
out="$(bin/lw52ctl --version 2>&1)"
[ "$out" = "lw52ctl $version" ] || fail "bin/lw52ctl --version: '$out'"
out="$(XDG_RUNTIME_DIR="$tmp" QT_QPA_PLATFORM=offscreen timeout 30 bin/lw52panel --version 2>/dev/null)"
[ "$out" = "lw52panel $version" ] || fail "bin/lw52panel --version: '$out'"

# Every command lw52ctl's usage names is completed and has its entry in the manual page.
# Command lines begin "  name"; a paragraph (its first line capitalised) runs to a blank line.
commands="$(bin/lw52ctl --help | awk '/^$/ { para = 0 } /^  [A-Z(]/ { para = 1 }
  !para && match($0, /^  [a-z][a-z0-9-]*/) { print substr($0, 3, RLENGTH - 2) }' | sort -u)"
[ -n "$commands" ] || fail "no commands in lw52ctl --help"
completed="$(bash -c 'source "$1"; COMP_WORDS=(lw52ctl ""); COMP_CWORD=1
  _lw52ctl; printf "%s\n" "${COMPREPLY[@]}"' _ share/bash-completion/completions/lw52ctl)"
# Entries of the manual: the tag lines after .TP/.TQ, fonts and escaped hyphens dropped.
manual="$(gzip -dc share/man/man1/lw52ctl.1.gz | sed -n '/^\.T[PQ]/{n;p}' |
  sed 's/\\-/-/g;s/\\f[BIRP]//g;s/^\.[BI][IR]* //;s/"//g')"
for c in $commands; do
  grep -qx -- "$c" <<<"$completed" || fail "the completion does not offer '$c'"
  grep -qE -- "^$c( |$)" <<<"$manual" || fail "lw52ctl.1 has no entry for '$c'"
done

# The installed programs find the library that comes with them.
out="$(XDG_DATA_HOME="$tmp/data" bin/lw52ctl library list 2>&1)"
grep -q "share/lw52/Effect/warm-hall.dteff" <<<"$out" || fail "installed library: '$out'"

[ "$failures" -eq 0 ] || { echo "install_tree_check: $failures failure(s)" >&2; exit 1; }
echo "install_tree_check: $(find . -type f | wc -l) files installed and checked"
