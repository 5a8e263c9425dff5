# Sourced by the scripts: a Wine prefix and a home inside the build tree, a private X display.
# Never the user's own ~/.wine or $HOME.

wine_env_setup() {   # $1 = folder for the prefix and the home
    local base=$1
    mkdir -p "$base/home"
    export WINEPREFIX="$base/wine"
    export HOME="$base/home"
    export WINEDEBUG=-all
    export WINEARCH=win64
    # No HTML engine or .NET download prompts; no desktop menu entries.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine: creating prefix $WINEPREFIX"
        wineboot --init >/dev/null 2>&1 || true
        wineserver -w
    fi
}

# Drives d: to m: on folders of their own: Wine numbers its volumes, so l: becomes
# \Device\HarddiskVolume10, whose name begins with c:'s \Device\HarddiskVolume1. Takes effect
# when the Wine server next starts.
wine_numbered_volumes() {
    local letter
    for letter in d e f g h i j k l m; do
        mkdir -p "$WINEPREFIX/../volumes/$letter"
        [ -e "$WINEPREFIX/dosdevices/$letter:" ] || ln -s "../../volumes/$letter" "$WINEPREFIX/dosdevices/$letter:"
    done
}

# On the private display no window manager runs: Wine then draws the frames itself, and hiding
# or closing a window no longer waits for a manager that never answers.
wine_unmanaged_windows() {
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    wineserver -w
}

xvfb_start() {   # starts a private Xvfb and exports DISPLAY; XVFB_PID holds its id
    local n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    local waited=0
    until [ -e "/tmp/.X11-unix/X$n" ]; do
        sleep 0.1; waited=$((waited + 1))
        if [ $waited -gt 100 ] || ! kill -0 "$XVFB_PID" 2>/dev/null; then
            echo "xvfb: display :$n did not start" >&2; return 1
        fi
    done
    export DISPLAY=":$n"
}

wine_env_teardown() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}
