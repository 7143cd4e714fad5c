#!/usr/bin/env bash
# Installs what is missing, builds everything with the tests, and runs every
# test under Wine in a display of its own.
set -euo pipefail
cd "$(dirname "$0")"
. tools/host.sh

install_missing
build_all

cleanup() {
    stop_wine
    stop_xvfb
}
trap cleanup EXIT
start_xvfb
start_wine
set_wine_windows_managed N
disable_wine_crash_dialog
status=0
ctest --test-dir "$BUILD_DIR" --output-on-failure "$@" || status=$?
# Pictures the window tests saved, as PNG files beside them.
for picture in "$BUILD_DIR"/screenshots/*.bmp; do
    [ -e "$picture" ] && convert "$picture" "${picture%.bmp}.png" 2>/dev/null && rm -f "$picture"
done
exit $status
