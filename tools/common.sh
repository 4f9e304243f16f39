# Shared by test.sh and run.sh: install what is missing, build, and manage Wine and Xvfb.
# Sourced, not run; expects TARROW_ROOT to be set.

TARROW_PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-tools cmake wine wine64 xvfb doctest-dev sox x11-utils xdotool python3 wixl msitools)

tarrow_install_missing() {
    local missing=()
    for p in "${TARROW_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

# tarrow_build BUILD_DIR [cmake args...]
tarrow_build() {
    local dir="$1"; shift
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$TARROW_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release \
              -DCMAKE_TOOLCHAIN_FILE="$TARROW_ROOT/cmake/mingw-w64-x86_64.cmake" "$@" >/dev/null
    fi
    cmake --build "$dir" -j"$(nproc)"
}

tarrow_wine_env() {
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64
}

# Makes sure $WINEPREFIX exists and is initialised: tarrow_wine_prefix [virtual|desktop|user]
#   virtual (the default): a prefix of this project's own whose windows appear on a virtual display without a window
#            manager (tests, benchmarks, screenshots). Without a window manager, managed windows make every closing
#            dialog wait about two seconds for a withdrawal that never comes; unmanaged ones get Wine's own title bars.
#   desktop: a prefix of this project's own shown on the user's display: its windows are left to the window manager,
#            so they get its decorations and taskbar entries.
#   user:    the user's own prefix: created when missing, as Wine itself would, and otherwise never changed.
tarrow_wine_prefix() {
    local windows="${1:-virtual}"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
    [ "$windows" = user ] && return 0
    local unmanaged=0
    grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null && unmanaged=1
    if [ "$windows" = virtual ] && [ $unmanaged -eq 0 ]; then
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null || true
        wineserver -w
    elif [ "$windows" = desktop ] && [ $unmanaged -eq 1 ]; then
        wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 </dev/null || true
        wineserver -w
    fi
}

# Marks $WINEPREFIX's per-user store as one the tests may wipe (tests/support/test_support.h reads the mark).
# Only for prefixes made by this project's scripts, never for a user's own prefix.
tarrow_mark_throwaway_store() {
    # Besides the mark: a test that crashes must fail at once. Wine would start its debugger, whose dialog waits for a
    # person until ctest's timeout; a debugger that cannot start ends the process with a failing status instead.
    local reg="$WINEPREFIX/tarrow-test-prefix.reg"
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
        '[HKEY_CURRENT_USER\Software\Tarrow Tests]' '"ThrowawayStore"=dword:00000001' '' \
        '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]' '"Auto"="1"' \
        '"Debugger"="no-crash-debugger.exe"' > "$reg"
    wine reg import "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1 </dev/null && return 0
    echo "Could not mark the test prefix $WINEPREFIX" >&2
    return 1
}

# Starts Xvfb on a free display; sets DISPLAY and TARROW_XVFB_PID. tarrow_start_xvfb [WIDTHxHEIGHT]
tarrow_start_xvfb() {
    local d screen="${1:-1280x1024}"
    for d in $(seq 90 199); do
        [ -e "/tmp/.X$d-lock" ] || [ -e "/tmp/.X11-unix/X$d" ] && continue
        Xvfb ":$d" -screen 0 "${screen}x24" -nolisten tcp >/dev/null 2>&1 &
        TARROW_XVFB_PID=$!
        local i
        for i in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$d" ] && break
            kill -0 "$TARROW_XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        if [ -e "/tmp/.X11-unix/X$d" ] && kill -0 "$TARROW_XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$d"
            return 0
        fi
    done
    echo "Could not start Xvfb" >&2
    return 1
}

# The caption buttons are drawn with Wine's Marlett font, which a fresh prefix does not always find.
# Only for prefixes of this project's own.
tarrow_marlett_font() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    [ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true
}

# When the calling script ends: stop the Wine processes of $WINEPREFIX and the Xvfb that tarrow_start_xvfb started.
tarrow_cleanup_on_exit() {
    TARROW_XVFB_PID=""
    trap 'wineserver -k >/dev/null 2>&1; [ -n "$TARROW_XVFB_PID" ] && kill "$TARROW_XVFB_PID" 2>/dev/null' EXIT
}
