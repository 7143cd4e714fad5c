#!/bin/sh
# A setup of a plugin for 64-bit Windows only (plugin64_setup.exe in the
# folder given, left there by the workflow test), run silently on 32-bit
# Windows: a 32-bit Wine prefix, made once beside it. Nothing could load the
# plugin there, so the setup refuses with a non-zero exit code and changes
# nothing.
set -u
folder=$1
setup=$folder/plugin64_setup.exe
export WINEPREFIX="$folder/wineprefix32" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
fail() { echo "FAILED: $*"; exit 1; }

[ -f "$setup" ] || fail "no setup at $setup"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating a 32-bit Wine prefix in $WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w </dev/null >/dev/null 2>&1
fi
[ -f "$WINEPREFIX/system.reg" ] || fail "no 32-bit prefix could be made"
[ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && fail "the prefix is not a 32-bit one"
trap 'wineserver -k </dev/null >/dev/null 2>&1' EXIT

wine "$setup" /S </dev/null >/dev/null 2>&1
code=$?
echo "exit code: $code"
[ "$code" -ne 0 ] || fail "the setup reported success"
[ -e "$WINEPREFIX/drive_c/Program Files/Quillon" ] && fail "it installed into Program Files"
if wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null </dev/null | grep -q Quillon; then
    fail "it registered a plugin"
fi
echo "PASSED: refused on 32-bit Windows, nothing changed"
