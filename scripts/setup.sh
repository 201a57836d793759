#!/usr/bin/env bash
# Installs what zilui needs to build, test and run its gallery, from Debian's packages.
# Idempotent: packages already present are skipped, and the package lists are refreshed
# only when something is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config gettext ccache
    libwxgtk3.2-dev libgtk-3-dev
    # Vector pictures (title.svg) render through librsvg.
    librsvg2-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libexpat1-dev
    libpam0g-dev
    libnss-wrapper libpam-wrapper libuid-wrapper sudo locales
    libdbusmenu-glib-dev dbus-daemon
    # What a desktop machine has: GIO starts a session bus on demand through dbus-launch, so the
    # tests have to keep to buses of their own with it installed.
    dbus-x11
    xvfb xauth x11-utils
    sway grim libwayland-dev libjson-glib-dev libxkbcommon-dev
    at-spi2-core libatspi2.0-dev
    # The desktop programs the tray and notification tests run against: a notification server,
    # a StatusNotifierItem host (under sway) and an XEmbed tray (on X11).
    dunst waybar trayer libx11-dev
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

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Locales the tests switch to: a comma as decimal separator.
locales=(de_DE.UTF-8)
generate=0
for l in "${locales[@]}"; do
    # locale -a lists "de_DE.utf8" for "de_DE.UTF-8".
    if ! locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}"; then
        echo "setup: generating locale $l"
        if grep -q "^# *$l UTF-8" /etc/locale.gen; then
            "${sudo_cmd[@]}" sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
        elif ! grep -q "^$l UTF-8" /etc/locale.gen; then
            echo "$l UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
        fi
        generate=1
    fi
done
if [ "$generate" = 1 ]; then
    "${sudo_cmd[@]}" locale-gen >/dev/null
fi
