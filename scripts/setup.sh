#!/usr/bin/env bash
# Installs what zilui needs to build, test and run its gallery, from Debian's packages.
# Idempotent: packages already present are skipped, and the package lists are refreshed
# only when something is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config gettext ccache
    libwxgtk3.2-dev libgtk-3-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libexpat1-dev
    libpam0g-dev
    libnss-wrapper libpam-wrapper locales
    libdbusmenu-glib-dev dbus-daemon
    xvfb xauth x11-utils
    sway grim libwayland-dev libjson-glib-dev libxkbcommon-dev
    at-spi2-core libatspi2.0-dev
    fonts-dejavu-core
    dpkg-dev file
    clang-14 libclang-rt-14-dev llvm-14
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
