#!/usr/bin/env bash
# Installs what is missing, builds everything with the tests, and runs every
# test under Wine in a display of its own.
set -euo pipefail
cd "$(dirname "$0")"
. tools/host.sh

install_missing
build_all

start_headless_wine
make_test_temp_folders
status=0
# Two test programs at a time: those that show windows take turns on the
# display (tests/CMakeLists.txt), the others run beside them.
ctest --test-dir "$BUILD_DIR" --output-on-failure -j2 "$@" || status=$?
# Pictures the window tests saved, as PNG files beside them.
for picture in "$BUILD_DIR"/screenshots/*.bmp; do
    [ -e "$picture" ] && convert "$picture" "${picture%.bmp}.png" 2>/dev/null && rm -f "$picture"
done
exit $status
