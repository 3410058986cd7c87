#!/usr/bin/env bash
# build.sh [DIR [CMAKE ARGS...]]: configures (once) and builds with Ninja and ccache.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build}"
shift || true
jobs="${LW52_JOBS:-$(nproc)}"
# Paths below the source root are hashed relative to it, so clones in other folders (CI, a
# fresh root, a second build folder) reuse the same cache entries.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
export CCACHE_NOHASHDIR=1
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLW52_WERROR=ON "$@" >/dev/null
fi
cmake --build "$dir" -j "$jobs"
