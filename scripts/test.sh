#!/usr/bin/env bash
# Builds Quillon and runs every test: GCC build, then the same suite three more times
# beside two CPU-burning processes (no result may depend on how fast the machine is), then
# the Debian package built from it and checked, then the whole suite again under
# AddressSanitizer + UndefinedBehaviorSanitizer (Clang), then the threaded components under
# ThreadSanitizer, then a short smoke run of every fuzz target, then the Windows build
# tested under Wine.
# Usage: scripts/test.sh [--quick | --stress]
#   --quick: the GCC build and suite only; --stress: the GCC build and the stress stage only
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)
quick=0
stress_only=0
case "${1:-}" in
  --quick) quick=1 ;;
  --stress) stress_only=1 ;;
  "") ;;
  *) echo "usage: $0 [--quick | --stress]" >&2; exit 2 ;;
esac

export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

# Compiler cache when present: rebuilds of an unchanged file in another clone are hits.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
fi

step() { printf '\n==== %s\n' "$*"; }

# The CPU burners of the stress stage, stopped by their process ids however the script ends.
burners=()
stop_burners() {
  for pid in "${burners[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  burners=()
}
trap stop_burners EXIT

stress_stage() {
  step "Stress: the GCC suite three times beside two CPU-burning processes"
  for _ in 1 2; do
    yes >/dev/null &
    burners+=("$!")
  done
  for run in 1 2 3; do
    echo "-- run $run of 3 (burners: ${burners[*]})"
    ctest --test-dir build --output-on-failure -j"$jobs" -LE soak
  done
  stop_burners
}

step "GCC build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build -j"$jobs"
if [ $stress_only -eq 1 ]; then
  stress_stage
  echo "stress stage passed"
  exit 0
fi
ctest --test-dir build --output-on-failure -j"$jobs"

[ $quick -eq 1 ] && exit 0

stress_stage

step "Debian package: contents, installed use, manual pages, desktop file, lintian"
scripts/check-package.sh build

step "Clang AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
CC=clang-14 CXX=clang++-14 cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DQUILLON_SANITIZE=address,undefined -DQUILLON_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

step "Clang ThreadSanitizer: serial and Bluetooth components"
CC=clang-14 CXX=clang++-14 cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DQUILLON_SANITIZE=thread -DQUILLON_BUILD_BENCH=OFF >/dev/null
tsan_targets=$(ctest --test-dir build-tsan -N -L 'serial|bluetooth' | awk '/Test +#/ {print $3}')
if [ -n "$tsan_targets" ]; then
  cmake --build build-tsan -j"$jobs" --target $tsan_targets
  ctest --test-dir build-tsan --output-on-failure -L 'serial|bluetooth'
fi

if ls fuzz/fuzz_*.cpp >/dev/null 2>&1; then
  step "Fuzz targets: 30-second smoke run each"
  CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLON_BUILD_FUZZ=ON -DQUILLON_BUILD_GUI=OFF -DQUILLON_BUILD_TESTS=OFF \
    -DQUILLON_BUILD_BENCH=OFF >/dev/null
  cmake --build build-fuzz -j"$jobs"
  bash fuzz/run.sh 30 build-fuzz
fi
step "Windows (MinGW-w64) build, tests under Wine, the zip"
bash scripts/test-windows.sh

echo "all test stages passed"
