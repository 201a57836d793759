#!/usr/bin/env bash
# Sets up, builds and runs every test; exits with the tests' status.
#   scripts/test.sh [extra ctest arguments, e.g. -R Path]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

setup
build
ensure_display
export GDK_BACKEND=x11 NO_AT_BRIDGE=1
status=0
(cd "$BUILD_DIR" && ctest --output-on-failure --parallel "$(nproc)" --timeout 300 "$@") || status=$?
exit $status
