#!/usr/bin/env bash
# make-icons.sh: renders the program's logo into the hicolor PNG sizes under packaging/icons.
# The PNGs are committed, so a build needs no SVG renderer; run this again when the logo
# changes (needs rsvg-convert from librsvg2-bin).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
logo="$here/../resources/images/logo.svg"
id="net.lw52.Panel"
command -v rsvg-convert >/dev/null || { echo "make-icons: needs rsvg-convert (librsvg2-bin)" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
  dir="$here/icons/${size}x${size}/apps"
  mkdir -p "$dir"
  rsvg-convert -w "$size" -h "$size" -o "$dir/$id.png" "$logo"
done
echo "make-icons: $(find "$here/icons" -name "$id.png" | wc -l) icons in $here/icons"
