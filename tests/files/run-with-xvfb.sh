#!/bin/sh
# Runs a test program on a private X server (Xvfb on a display it picks itself), so
# that it can open real dialogs. Fails, saying why, when that cannot be done.
set -u
for tool in Xvfb xdotool zenity xwd; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "cannot run: $tool is not installed (packages xvfb, xdotool, zenity, x11-apps)"
        exit 1
    fi
done
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$dir"' EXIT
i=0
while [ ! -s "$dir/display" ]; do
    if ! kill -0 $xvfb 2>/dev/null; then
        echo "cannot run: Xvfb did not start:"
        cat "$dir/xvfb.log"
        exit 1
    fi
    i=$((i + 1))
    if [ $i -gt 1000 ]; then
        echo "cannot run: Xvfb gave no display within 20 seconds"
        exit 1
    fi
    sleep 0.02
done
DISPLAY=:$(cat "$dir/display")
export DISPLAY
# The dialogs need no accessibility bus, and must not reach a desktop portal.
NO_AT_BRIDGE=1
export NO_AT_BRIDGE
unset DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP
# The dialog's settings and recent files, and the bus it starts, stay out of the real home.
HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config" XDG_CACHE_HOME="$dir/home/.cache"
XDG_DATA_HOME="$dir/home/.local/share"
mkdir -p "$HOME"
export HOME XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME
echo "X server on $DISPLAY"
"$@"
