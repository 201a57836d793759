#!/usr/bin/env bash
# Sets up, builds and runs the gallery on the user's display, X11 or Wayland. Without a display
# it runs under its own Xvfb, saves a screenshot of the main window and prints its path.
#   scripts/gallery.sh [--screenshot FILE.png]
# The environment reaches the gallery as it is, e.g. GDK_SCALE=2 for a 200 % screen.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

setup
build --target zilui-gallery
gallery="$BUILD_DIR/bin/zilui-gallery"

# A Wayland session (GNOME's default) runs the gallery natively; GTK picks the backend, and
# GDK_BACKEND=x11 still chooses XWayland.
wayland_socket="${WAYLAND_DISPLAY:-}"
if [ -n "$wayland_socket" ] && [ "${wayland_socket#/}" = "$wayland_socket" ]; then
    wayland_socket="${XDG_RUNTIME_DIR:-/nonexistent}/$wayland_socket"
fi
if [ -n "${WAYLAND_DISPLAY:-}" ] && [ -S "$wayland_socket" ]; then
    exec "$gallery" "$@"
fi
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 && [ "$#" -eq 0 ]; then
    exec "$gallery"
fi
if [ "$#" -eq 0 ]; then
    set -- --screenshot "$BUILD_DIR/gallery-screenshot.png"
fi
ensure_display
status=0
"$gallery" "$@" || status=$?
exit $status
