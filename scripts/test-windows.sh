#!/usr/bin/env bash
# The Windows stage: cross build with MinGW-w64 (quillon-cli.exe, quillon-virtual-printer.exe
# and the test programs it runs, no Qt, no benchmarks), the core suites and the Windows
# components under Wine, quillon-cli.exe end to end (in-process virtual printer, and COM5
# mapped to a pseudo-terminal served by the Linux virtual printer), and the zip.
# Usage: scripts/test-windows.sh   (needs the Linux virtual printer: build/bin or it is built)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=build-win
jobs=$(nproc)
started=$(date +%s)

step() { printf '\n==== %s\n' "$*"; }

# Wine without a display, quiet, in a prefix of its own inside the build folder (works as
# root in CI too: the prefix belongs to whoever runs this).
export WINEDEBUG=-all
export WINEPREFIX="$root/$build/wineprefix"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY

helpers=()
cleanup() {
  for pid in "${helpers[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

step "MinGW-w64 build"
native_vp="$root/build/bin/quillon-virtual-printer"
if [ ! -x "$native_vp" ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLON_BUILD_BENCH=OFF >/dev/null
  cmake --build build -j"$jobs" --target quillon-virtual-printer
fi
sample_font=()
[ -f build/bin/sample_font.bin ] && sample_font=(-DQUILLON_PREBUILT_SAMPLE_FONT="$root/build/bin/sample_font.bin")
cmake -S . -B $build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DQUILLON_BUILD_BENCH=OFF "${sample_font[@]}" >/dev/null
tests=$(ctest --test-dir $build -N | awk '/Test +#/ {print $3}')
cmake --build $build -j"$jobs" --target quillon-cli quillon-virtual-printer $tests

step "Wine prefix"
mkdir -p "$WINEPREFIX"
# Our own server, its output kept apart: it takes the first pseudo-terminal it opens as its
# terminal and writes a state dump to stderr when that terminal hangs up (which the
# hang-up tests do on purpose).
wineserver -k 2>/dev/null || true
wineserver -p30 2>"$root/$build/wineserver.log"
wine wineboot --init >/dev/null 2>&1 || true

# A null-modem pair of pseudo-terminals as COM7/COM8 for the serial component's tests.
relay_dir=$(mktemp -d "$root/$build/null-modem.XXXXXX")
python3 scripts/null_modem.py "$relay_dir" >"$relay_dir/ports" &
helpers+=($!)
for _ in $(seq 100); do grep -q '^b:' "$relay_dir/ports" 2>/dev/null && break; sleep 0.1; done
ln -sfn "$(sed -n 's/^a: //p' "$relay_dir/ports")" "$WINEPREFIX/dosdevices/com7"
ln -sfn "$(sed -n 's/^b: //p' "$relay_dir/ports")" "$WINEPREFIX/dosdevices/com8"
export QUILLON_NULL_MODEM="COM7,COM8,$(winepath -w "$relay_dir/ctl")"

step "Core suites and Windows components under Wine"
ctest --test-dir $build --output-on-failure -j"$jobs"

step "quillon-cli.exe end to end"
bash scripts/wine-cli-checks.sh "$root/$build/bin" "$native_vp"

step "Windows zip"
cmake --build $build --target package
ls -l $build/quillon-*-win64.zip
echo "windows stage: $(($(date +%s) - started)) s"
