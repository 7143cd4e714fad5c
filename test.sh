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
ctest --test-dir "$BUILD_DIR" --output-on-failure "$@"
