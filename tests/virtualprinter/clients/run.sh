#!/usr/bin/env bash
# Receipts of two ESC/POS client libraries printed on the virtual printer over TCP.
# Usage: run.sh VIRTUAL_PRINTER SYMBOL_READER WORK_DIR
# The libraries are the pinned versions of package-lock.json, installed by npm ci; a failed
# install fails the test.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
vp=$1 reader=$2 work=$3
mkdir -p "$work"
cp "$here/package.json" "$here/package-lock.json" "$here/receipts_test.js" "$work/"
cd "$work"
if ! npm ci --no-audit --no-fund >npm.log 2>&1; then
  echo "npm ci failed (the client libraries are needed):"
  cat npm.log
  exit 1
fi
exec node receipts_test.js "$vp" "$reader"
