#!/usr/bin/env bash
# Installs what is missing, builds the tool folder and starts the tool.
set -euo pipefail
cd "$(dirname "$0")"
. tools/host.sh

install_missing
build_all -DSETUPCREATOR_TESTS=OFF

cleanup() {
    stop_wine
    stop_xvfb
}
trap cleanup EXIT
managed=Y
if [ -z "${DISPLAY:-}" ]; then
    start_xvfb
    managed=N
    echo "No display was set: the tool runs in the virtual display $DISPLAY."
fi
start_wine
set_wine_windows_managed "$managed"
wine "$BUILD_DIR/dist/SetupCreator.exe"
