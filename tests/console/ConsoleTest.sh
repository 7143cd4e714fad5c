#!/bin/bash
# SetupCreatorCli.exe as a build pipeline runs it on a Linux host: under Wine,
# with the real NSIS compiler behind the stand-in, from a tool folder of its
# own; its installers installed and uninstalled under Wine, its signatures
# checked with osslsigncode.
#
#   ConsoleTest.sh <dist folder> <test plugin folder> <work folder> <Wine prefix>
#
# The prefix is its own, made once: what the program and its installers do
# there (temporary folders, installs, entries) never changes a folder on the
# way to another test program's folders, which Wine's folder chooser would
# then no longer find.
set -u
dist=$1 plugins=$2 work=$3
export WINEPREFIX=$4 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating a Wine prefix in $WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w </dev/null >/dev/null 2>&1
fi
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k </dev/null >/dev/null 2>&1' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
winpath() { winepath -w "$1" 2>/dev/null; }

rm -rf "$work" && mkdir -p "$work"
cd "$work" || exit 1
# The tool folder, as a user unpacks it, with the compiler beside it.
tool=$work/tool
mkdir -p "$tool"
cp "$dist"/SetupCreatorCli.exe "$dist"/makensis.exe "$dist"/PluginNameHelper*.exe "$dist"/plugin.nsi "$dist"/PluginSetup.nsh "$tool"/
cp -r "$dist"/languages "$dist"/translations "$tool"/
cli() { wine "$tool/SetupCreatorCli.exe" "$@" </dev/null >out.txt 2>err.txt; code=$?; }

# A WFX and a WLX plugin folder, with a licence beside them.
mkdir -p wfx/language wlx empty out
cp "$plugins/testfs.wfx" wfx/ && echo "[German]" >wfx/language/de.lng && echo x >wfx/readme.txt
cp "$plugins/viewer.wlx" wlx/
printf 'Use it freely.\r\n' >licence.txt
echo "just a file" >empty/readme.txt

# The 32-bit entry of a plugin, found by its DisplayName; the key's lines.
entry() {
    wine reg query 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null </dev/null |
        tr -d '\r' | awk -v name="$1" '/^HKEY/ {key=$0} $1=="DisplayName" && $3==name {print key}'
}
value() { wine reg query "$1" /v "$2" 2>/dev/null </dev/null | tr -d '\r' | awk -v v="$2" '$1==v {sub(/^ *[^ ]+ +[^ ]+ +/, ""); print}'; }
# Runs the entry's quiet uninstaller and waits until its entry has gone.
uninstall() {
    local key=$1 location
    location=$(value "$key" InstallLocation)
    wine "$location\\uninstall.exe" /S </dev/null >/dev/null 2>&1
    for _ in $(seq 100); do wine reg query "$key" </dev/null >/dev/null 2>&1 || return 0; sleep 0.2; done
    return 1
}

# 1. A WFX plugin with languages, licence and uninstaller, installed and
# uninstalled; the name is the plugin's own.
cli wfx --language French --language English --license licence.txt --uninstaller --output out
setup=$(tail -n 1 out.txt)
if [ "$code" = 0 ] && [ "$setup" = "$(winpath "$work/out")\\testfs.wfx_setup.exe" ] && [ -f out/testfs.wfx_setup.exe ]; then
    pass "WFX setup built: $setup"
    wine out/testfs.wfx_setup.exe /S </dev/null >/dev/null 2>&1 || fail "the WFX setup did not install"
    key=$(entry TestFS)
    if [ -n "$key" ] && [ -f "$(winepath -u "$(value "$key" InstallLocation)")/language/de.lng" ]; then
        pass "installed and registered as TestFS"
        uninstall "$key" && pass "uninstalled" || fail "the uninstaller left its entry"
    else
        fail "no entry TestFS with the plugin's files"
    fi
else
    fail "WFX build: exit $code"; cat out.txt err.txt
fi

# 2. A WLX plugin named on the command line, without uninstaller, into a
# folder that does not exist yet; a second build replaces the first setup.
for round in 1 2; do
    cli wlx --name "Viewer Pro" --type wlx --output "new folder"
    [ "$code" = 0 ] && [ -f "new folder/viewer.wlx_setup.exe" ] || { fail "WLX build $round: exit $code"; cat err.txt; }
done
# (/D= is taken unquoted only: Wine quotes an argument that holds a blank.)
wine "new folder/viewer.wlx_setup.exe" /S "/D=$(winpath "$work")\\viewer-installed" </dev/null >/dev/null 2>&1
[ -f "viewer-installed/viewer.wlx" ] && [ -z "$(entry "Viewer Pro")" ] && pass "WLX setup installs, registers nothing" ||
    fail "the WLX setup did not install as asked"

# 3. Refusals: exit code 1, the reason on standard error, nothing written.
refused() {
    local says=$1; shift
    rm -f out/*
    cli "$@"
    if [ "$code" = 1 ] && grep -qF "$says" err.txt && [ -z "$(ls out)" ] && [ -z "$(ls "$tool"/*_setup.exe 2>/dev/null)" ]; then
        pass "refused: $says"
    else
        fail "not refused with \"$says\" (exit $code)"; cat err.txt
    fi
}
refused "The folder doesn't exist" missing --output out
refused 'Unknown language "Klingon"' wfx --language Klingon --output out
refused "The license file doesn't exist" wfx --license nolicence.txt --output out
refused "You must specify a plugin name" empty --output out
refused "The plugin main file isn't in the folder" wfx --main-file other.wfx --output out
refused 'Unknown option "--colour"' wfx --colour blue
refused "the setup creator's own folder" wfx --output "$tool"

# 4. A template the compiler rejects: exit code 2, the failing line told.
cp "$tool/plugin.nsi" plugin.nsi.good
printf '\r\nNoSuchCommand here\r\n' >>"$tool/plugin.nsi"
rm -f out/*
cli wfx --output out
if [ "$code" = 2 ] && grep -q "which reads:" err.txt && grep -q "NoSuchCommand here" err.txt && [ -z "$(ls out)" ] &&
    [ -z "$(ls "$tool"/*_setup.exe 2>/dev/null)" ]; then
    pass "a rejected script fails with its line"
else
    fail "rejected script: exit $code"; cat err.txt
fi
cp plugin.nsi.good "$tool/plugin.nsi"

# 5. Signed: the setup program and the uninstaller it writes carry a valid
# signature of a certificate made here; a failing signing command fails the
# build and places nothing.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "/CN=Quillon plugin test" \
    -addext extendedKeyUsage=codeSigning >/dev/null 2>&1
sign="osslsigncode sign -certs $work/cert.pem -key $work/key.pem -in \"%1\" -out \"%1.signed\" && mv \"%1.signed\" \"%1\""
cli wfx --name Signed --uninstaller --output out --sign "$sign"
if [ "$code" = 0 ] && osslsigncode verify -CAfile cert.pem -in out/testfs.wfx_setup.exe >verify.txt 2>&1; then
    pass "the setup is signed"
    wine out/testfs.wfx_setup.exe /S </dev/null >/dev/null 2>&1
    key=$(entry Signed)
    installed=$(winepath -u "$(value "$key" InstallLocation)")
    osslsigncode verify -CAfile cert.pem -in "$installed/uninstall.exe" >verify.txt 2>&1 &&
        pass "its uninstaller is signed" || { fail "the uninstaller is not signed"; cat verify.txt; }
    uninstall "$key" || fail "the signed plugin's uninstaller left its entry"
else
    fail "signed build: exit $code"; cat err.txt verify.txt 2>/dev/null
fi
# The template's own signing command, as the window uses it, signs the same way.
while IFS= read -r line; do
    [[ $line == ";!define SIGN_COMMAND "* ]] && line="!define SIGN_COMMAND \`$sign\`"
    printf '%s\n' "$line"
done <plugin.nsi.good >"$tool/plugin.nsi"
rm -f out/*
cli wfx --name Signed --output out
[ "$code" = 0 ] && osslsigncode verify -CAfile cert.pem -in out/testfs.wfx_setup.exe >verify.txt 2>&1 &&
    pass "the template's signing command signs" || { fail "template signing: exit $code"; cat err.txt verify.txt; }
cp plugin.nsi.good "$tool/plugin.nsi"
# A signing command that fails for the uninstaller, or for the setup only,
# fails the build and leaves nothing: no setup anywhere, no file of the
# compiler in the host's temporary folder.
for fails in '*' '*_setup.exe'; do
    rm -f out/*
    before=$(ls /tmp | grep -c '^makensis')
    cli wfx --uninstaller --output out --sign "case \"%1\" in $fails) false;; esac"
    [ "$code" = 2 ] && grep -q "returned" err.txt && [ -z "$(ls out)" ] && [ -z "$(ls "$tool"/*_setup.exe 2>/dev/null)" ] &&
        [ "$(ls /tmp | grep -c '^makensis')" = "$before" ] &&
        pass "a signing command failing for $fails fails the build, leaving nothing" ||
        { fail "signing failing for $fails: exit $code"; cat err.txt; ls out /tmp | grep -e '^makensis' -e _setup; }
done

# 6. One build at a time in a tool folder: a second one waits for the first.
printf '\r\n!system "sleep 3"\r\n' >>"$tool/plugin.nsi"
wine "$tool/SetupCreatorCli.exe" wfx --output out </dev/null >first.txt 2>&1 &
first=$!
for _ in $(seq 100); do [ -e "$tool/build.lock" ] && break; sleep 0.1; done
cli wlx --output out
wait $first
[ "$?" = 0 ] && [ "$code" = 0 ] && grep -q "waiting for it to finish" out.txt &&
    pass "a second build waited for the first" || { fail "second build beside the first: exit $code"; cat out.txt err.txt first.txt; }
cp plugin.nsi.good "$tool/plugin.nsi"

# 7. The same folder built twice gives the same bytes, and the sum beside it
# checks; under SOURCE_DATE_EPOCH, so do two copies of it dated differently.
rm -rf out out2 && mkdir out out2
cli wfx --uninstaller --language German --output out && first=$code
cli wfx --uninstaller --language German --output out2
sumline=$(tail -n 2 out.txt | head -n 1)
[ "$first" = 0 ] && [ "$code" = 0 ] && cmp -s out/testfs.wfx_setup.exe out2/testfs.wfx_setup.exe &&
    pass "two builds of one folder are the same" || fail "two builds differ (exit $first, $code)"
(cd out2 && sha256sum -c testfs.wfx_setup.exe.sha256 >/dev/null 2>&1) &&
    [ "$sumline" = "SHA-256: $(sha256sum out2/testfs.wfx_setup.exe | cut -d' ' -f1)" ] &&
    pass "the checksum file checks, the sum is printed" || { fail "checksum: $sumline"; cat out2/*.sha256; }
cp -r wfx wfx-copy && touch -d "2024-02-03 04:05:06" wfx-copy/readme.txt && touch wfx/readme.txt
rm -rf out out2 && mkdir out out2
export SOURCE_DATE_EPOCH=1000000000
cli wfx --uninstaller --output out && first=$code
cli wfx-copy --uninstaller --output out2
unset SOURCE_DATE_EPOCH
[ "$first" = 0 ] && [ "$code" = 0 ] && cmp -s out/testfs.wfx_setup.exe out2/testfs.wfx_setup.exe &&
    [ ! -e "$tool/temp_plugin" ] && pass "under SOURCE_DATE_EPOCH two copies dated apart give the same setup" ||
    fail "SOURCE_DATE_EPOCH builds differ (exit $first, $code)"

# 8. Messages a pipeline's author can act on.
mkdir -p two && cp "$plugins/testfs.wfx" two/alpha.wfx && cp "$plugins/testfs.wfx" two/beta.wfx
cp "$plugins/testfs.wfx" two/beta.wfx64
refused '"wfx/testfs.wfx" is a file, and a folder is expected' wfx/testfs.wfx --output out
refused "holds 2 plugins (alpha.wfx, beta.wfx): name the one to build with --main-file" two --output out
refused "can't hold control characters" wfx --name "$(printf 'Two\nlines')" --output out
refused "leave that backslash out" 'wfx" --output out' 
for help in -h /? --help; do
    cli $help
    [ "$code" = 0 ] && grep -q "Exit codes" out.txt && pass "$help shows the usage" || fail "$help: exit $code"
done

# 9. Placing is all or nothing: a setup that does not fit the output drive
# keeps the earlier one there, byte for byte, and leaves nothing beside it.
mkdir -p small
if mount -t tmpfs -o size=700k tmpfs small 2>/dev/null; then
    cli wlx --output small
    cp small/viewer.wlx_setup.exe earlier.exe
    head -c 1500000 /dev/urandom >wlx/noise.bin
    cli wlx --output small
    rm -f wlx/noise.bin
    [ "$code" = 2 ] && grep -q "The earlier setup there was kept" err.txt && cmp -s small/viewer.wlx_setup.exe earlier.exe &&
        [ "$(ls small | tr '\n' ' ')" = "viewer.wlx_setup.exe viewer.wlx_setup.exe.sha256 " ] &&
        [ -z "$(ls "$tool"/*_setup.exe 2>/dev/null)" ] &&
        pass "a setup that does not fit keeps the earlier one" || { fail "full drive: exit $code"; cat err.txt; ls -la small; }
    umount -l small
else
    echo "skipped: the full drive needs root to mount a small file system"
fi

[ "$failures" = 0 ] && echo "PASSED" || echo "$failures FAILED"
[ "$failures" = 0 ]
