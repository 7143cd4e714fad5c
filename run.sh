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
if [ -z "${DISPLAY:-}" ]; then
    start_xvfb
    echo "No display was set: the tool runs in the virtual display $DISPLAY."
fi
start_wine
wine "$BUILD_DIR/dist/SetupCreator.exe"
