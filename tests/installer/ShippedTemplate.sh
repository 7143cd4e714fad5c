#!/bin/sh
# The zip for Windows users carries every file of the template (installer/),
# the script and what it includes, byte for byte: a tool folder unpacked from
# it compiles setups as the build's own does.
set -u
sources=$1
zip=$2
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$zip") || { echo "FAILED: cannot unpack $zip"; exit 1; }
failures=0
for file in "$sources"/*.nsi "$sources"/*.nsh "$sources"/translations/*.nsh; do
    name=${file#"$sources"/}
    if cmp -s "$file" "$unpacked/SetupCreator/$name"; then
        echo "shipped: $name"
    else
        echo "FAILED: $name is not in the zip as it is in $sources"
        failures=$((failures + 1))
    fi
done
[ "$failures" = 0 ]
