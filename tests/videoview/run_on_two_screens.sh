#!/bin/sh
# Runs a test program on a virtual X server of its own with two separate screens (no
# Xinerama), which Qt sees as two screens of the same name. The server picks a free display
# number itself, so parallel runs never race for one.
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "SKIP: Xvfb is not installed; the two-screen test needs it"
    exit 77
fi
dir=$(mktemp -d)
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 -screen 1 1024x768x24 \
    3>"$dir/display" 2>"$dir/log" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$dir"' EXIT
tries=0
until grep -q '^[0-9]' "$dir/display" 2>/dev/null; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 $server 2>/dev/null; then
        echo "Xvfb did not start:"; cat "$dir/log"
        exit 1
    fi
    sleep 0.1
done
DISPLAY=":$(head -n1 "$dir/display")" QT_QPA_PLATFORM=xcb "$@"
