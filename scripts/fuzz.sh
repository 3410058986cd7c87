#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds the fuzz targets (clang, libFuzzer, ASan+UBSan) in
# $LW52_FUZZ_BUILD (default build-fuzz), runs their committed inputs (seeds and past crashes)
# through ctest, then fuzzes each target for SECONDS (default 20) on a scratch copy of its
# corpus, so the committed corpus never changes. Exits non-zero when a target crashed, leaked
# or timed out; the scratch folder is then kept and the input that did it is printed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-20}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: fuzz.sh [SECONDS]" >&2
  exit 2
fi
dir="${LW52_FUZZ_BUILD:-$root/build-fuzz}"
jobs="${LW52_JOBS:-$(nproc)}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
export CCACHE_NOHASHDIR=1

for tool in clang clang++ cmake ninja; do
  command -v "$tool" >/dev/null || { echo "fuzz: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

if [ ! -f "$dir/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLW52_CORE_ONLY=ON -DLW52_FUZZ=ON >/dev/null
fi
cmake --build "$dir" -j "$jobs" --target lw52_fuzzers

echo "== committed inputs"
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir "$dir" -L fuzz --output-on-failure --no-tests=error

echo "== fuzzing, ${seconds} s per target"
work="$(mktemp -d "${TMPDIR:-/tmp}/lw52-fuzz-run.XXXXXX")"
failed=()
for corpus in "$root"/fuzz/corpus/*/; do
  name="$(basename "$corpus")"
  bin="$dir/fuzz/fuzz_$name"
  [ -x "$bin" ] || { echo "fuzz: no program for corpus $name" >&2; exit 1; }
  mkdir -p "$work/$name/corpus" "$work/$name/findings" "$work/$name/tmp"
  cp -R "$corpus". "$work/$name/corpus/"
  log="$work/$name/log"
  rc=0
  # The targets' own temporary files go to a folder of the run, removed with it.
  TMPDIR="$work/$name/tmp" "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/$name/findings/" "$work/$name/corpus" \
    >"$log" 2>&1 || rc=$?
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  # Slow units are left out: a busy machine makes them, and -timeout catches real hangs.
  findings="$(find "$work/$name/findings" -type f ! -name 'slow-unit-*' | sort)"
  if [ "$rc" -ne 0 ] || [ -n "$findings" ]; then
    echo "fuzz_$name: ${execs:-?} executions, FAILED (exit $rc); log $log"
    grep -m1 -E "ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error|property violated" "$log" || true
    for f in $findings; do echo "  input: $f"; done
    failed+=("$name")
  else
    echo "fuzz_$name: ${execs:-?} executions, nothing found"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: ${failed[*]} failed; inputs and logs kept in $work" >&2
  exit 1
fi
rm -rf "$work"
