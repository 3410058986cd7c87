#!/usr/bin/env bash
# The core folders link no Qt: refuse a Qt include there, and unformatted files anywhere.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
core_dirs=(CppCommonLib workspace tools cli audio cloud/core sound/core sound/stream sound/clips sound/upload firmware/core control/core doctor)
existing=()
for d in "${core_dirs[@]}"; do [ -d "$d" ] && existing+=("$d"); done
if grep -rn --include='*.h' --include='*.cpp' -E '#include <Q[A-Za-z]' "${existing[@]}"; then
  echo "check-core: Qt include in a core folder" >&2
  exit 1
fi
files=$(git ls-files '*.h' '*.cpp')
if [ -n "$files" ] && ! clang-format --dry-run --Werror $files 2>/tmp/lw52-format.log; then
  head -20 /tmp/lw52-format.log >&2
  echo "check-core: files not clang-formatted (run: clang-format -i \$(git ls-files '*.h' '*.cpp'))" >&2
  exit 1
fi
echo "check-core: ok"
