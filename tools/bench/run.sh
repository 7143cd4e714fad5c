#!/usr/bin/env bash
# Runs every benchmark program of a finished build ($BUILD_DIR/bench/*_bench.exe)
# under Wine, in an X display and a Wine server of its own, as test.sh does.
# Builds nothing: build first (./test.sh, or cmake --build "$BUILD_DIR").
#   tools/bench/run.sh [WORD]   runs only the programs whose name holds WORD
set -euo pipefail
cd "$(dirname "$0")/../.."
. tools/host.sh

filter="${1:-}"
shopt -s nullglob
programs=()
for program in "$BUILD_DIR"/bench/*_bench.exe; do
    [[ -z "$filter" || "$(basename "$program")" == *"$filter"* ]] && programs+=("$program")
done
if [ ${#programs[@]} -eq 0 ]; then
    echo "No benchmark programs in $BUILD_DIR/bench${filter:+ matching $filter}; build first." >&2
    exit 1
fi

start_headless_wine

status=0
for program in "${programs[@]}"; do
    echo "== $(basename "$program" .exe)"
    (cd "$(dirname "$program")" && wine "$program" </dev/null) || {
        echo "$(basename "$program") failed" >&2
        status=1
    }
done
exit $status
