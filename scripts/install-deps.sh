#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and running Quillon needs.
# Non-interactive and idempotent; runs as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  clang-14 libclang-rt-14-dev llvm-14 clang-format
  libusb-1.0-0-dev libsimpleini-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-connectivity-dev libqt6bluetooth6 libqt6bluetooth6-bin
  qt6-qpa-plugins qt6-translations-l10n libgl-dev
  unifont python3 python3-pil zlib1g-dev libstb-dev
  umockdev libumockdev-dev
  bluez dbus-daemon xvfb xauth
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64
  dpkg-dev lintian man-db desktop-file-utils bash-completion
  libcli11-dev libsqlite3-dev sqlite3 libpq-dev postgresql libzint-dev libzxing-dev nodejs
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# npm comes with some builds of nodejs (which then conflict with Debian's npm package).
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
