#!/usr/bin/env bash
# Installs the dependencies, builds Quillon and starts it on its built-in virtual printer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
exec build/bin/quillon --virtual-printer "$@"
