# Shared by run.sh and test.sh: installs what the build needs on a Debian
# host, configures and builds, and manages the Wine prefix and the X display.
# Source it; it defines functions only.

BUILD_DIR="${BUILD_DIR:-$PWD/build}"

# Debian packages the build and the tests need, with a command that shows
# each one is present.
host_packages() {
    cat <<'LIST'
i686-w64-mingw32-g++-posix g++-mingw-w64-i686-posix
i686-w64-mingw32-windres binutils-mingw-w64-i686
x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
cmake cmake
wine wine
/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll wine32:i386
Xvfb xvfb
xdotool xdotool
import imagemagick
makensis nsis
/usr/share/wine/fonts/sserife.fon fonts-wine
/usr/src/googletest/CMakeLists.txt googletest
zip zip
xwininfo x11-utils
pkill procps
osslsigncode osslsigncode
openssl openssl
LIST
}

have() {
    case "$1" in
        /*) [ -e "$1" ] ;;
        *) command -v "$1" >/dev/null 2>&1 ;;
    esac
}

install_missing() {
    local missing=()
    while read -r probe package; do
        have "$probe" || missing+=("$package")
    done < <(host_packages)
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "These packages are missing; run as root or install them: ${missing[*]}" >&2
        return 1
    fi
    if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" wine64 >/dev/null
}

build_all() {
    cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-i686-posix.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$BUILD_DIR" -j"$(nproc)"
}

export WINEDEBUG=-all
# Mono and Gecko are never needed and cannot be downloaded here.
export WINEDLLOVERRIDES="mscoree,mshtml="

# A Wine prefix inside the build tree, with a persistent server. The server and
# the first Wine program inherit standard handles, so they get none of ours:
# a reader waiting for our output to close would wait for ever.
start_wine() {
    export WINEPREFIX="$BUILD_DIR/wineprefix"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix in $WINEPREFIX"
        wineboot -i </dev/null >/dev/null 2>&1 || true
        # The registry reaches the disk when the server ends.
        wineserver -w </dev/null >/dev/null 2>&1 || true
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            echo "Wine could not create its prefix in $WINEPREFIX" >&2
            return 1
        fi
    fi
    # Wine's own fonts, among them the bitmap "MS Sans Serif" the window is
    # designed for; without them a wider substitute font is used.
    if [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/sserife.fon" ]; then
        cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    fi
    # Fails harmlessly when a server of this prefix is running already.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Y when a window manager looks after Wine's windows, N in a bare X server:
# there Wine would wait two seconds for every window it hides or destroys.
set_wine_windows_managed() {
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$1" /f </dev/null >/dev/null 2>&1 || true
}

# A crashing test program ends at once instead of waiting behind Wine's
# crash dialog until its time-out.
disable_wine_crash_dialog() {
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 || true
}

stop_wine() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k </dev/null >/dev/null 2>&1 || true
}

XVFB_PID=""
# Starts an Xvfb on the first free display number from 90 on.
start_xvfb() {
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.1
    done
    echo "Xvfb did not start on :$n" >&2
    return 1
}

stop_xvfb() {
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

# Every test program's own folder in the prefix's temporary folder, made
# before any program starts. A folder made while another program's folder
# chooser is open changes the folder it lies in, and Wine's chooser, which
# matches the folders on a path by what it read of them when it opened, can
# then no longer select anything below that folder.
make_test_temp_folders() {
    local temp program
    for temp in "$WINEPREFIX"/drive_c/users/*/Temp; do
        [ "$temp" = "$WINEPREFIX/drive_c/users/Public/Temp" ] && continue
        for program in "$BUILD_DIR"/tests/*/*.exe; do
            [ "$(basename "$(dirname "$program")")" = "$(basename "$program" .exe)" ] || continue
            mkdir -p "$temp/$(basename "$program" .exe)/temp"
        done
        # Read once, so that the first program's reading changes nothing.
        ls -a "$temp" "$temp"/*/ >/dev/null
    done
}

# A bare X display and the Wine prefix for test and benchmark programs, both
# stopped again when the calling script ends.
start_headless_wine() {
    trap 'stop_wine; stop_xvfb' EXIT
    start_xvfb
    start_wine
    set_wine_windows_managed N
    disable_wine_crash_dialog
}
