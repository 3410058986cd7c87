#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the full build, then the core tests
# under ASan+UBSan and under TSan.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
bash scripts/check-core.sh

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export CTEST_OUTPUT_ON_FAILURE=1
jobs="${LW52_JOBS:-$(nproc)}"

echo "== build and test"
bash scripts/build.sh "$root/build"
ctest --test-dir "$root/build" -j "$jobs" --timeout 300 --no-tests=error

echo "== the Debian package: cpack, lintian, installed and removed again"
bash scripts/build-deb.sh "$root/build"

echo "== the real device path: hidraw and udev in a small virtual machine"
# Skips (77) only when qemu is missing; setup installs it.
vm_rc=0
bash scripts/vm-hid-test.sh "$root/build" || vm_rc=$?
if [ "$vm_rc" -eq 77 ]; then
  echo "vm-hid-test: skipped"
elif [ "$vm_rc" -ne 0 ]; then
  echo "vm-hid-test: failed ($vm_rc)" >&2
  exit "$vm_rc"
fi

echo "== core tests under ASan+UBSan"
bash scripts/build.sh "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DLW52_CORE_ONLY=ON \
  -DLW52_SANITIZE=address,undefined
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build-asan" -j "$jobs" --timeout 600 --no-tests=error

echo "== core tests under TSan"
bash scripts/build.sh "$root/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DLW52_CORE_ONLY=ON \
  -DLW52_SANITIZE=thread
# TSan of this compiler cannot map its shadow memory with the kernel's full address-space
# randomisation; run its tests with randomisation off.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  setarch "$(uname -m)" -R ctest --test-dir "$root/build-tsan" -j "$jobs" --timeout 600 \
  --no-tests=error

echo "== fuzz targets: their committed inputs, then 20 s of fuzzing each"
bash scripts/fuzz.sh 20
