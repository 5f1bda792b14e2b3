#!/bin/sh
# Runs a test program on a virtual X server with two separate screens (no Xinerama), which
# Qt sees as two screens of the same name.
if ! command -v Xvfb >/dev/null 2>&1 || ! command -v xvfb-run >/dev/null 2>&1 ||
   ! command -v xauth >/dev/null 2>&1; then
    echo "SKIP: Xvfb, xvfb-run or xauth is not installed; the two-screen test needs them"
    exit 77
fi
export QT_QPA_PLATFORM=xcb
exec xvfb-run -a -s "-screen 0 1280x800x24 -screen 1 1024x768x24" "$@"
