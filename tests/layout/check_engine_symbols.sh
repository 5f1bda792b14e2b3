#!/bin/sh
# check_engine_symbols.sh ENGINE_ARCHIVE WIDGETS_LIB GUI_LIB: fails when an object of the engine
# library uses anything Qt's widget or GUI library defines: the show must run with no window.
set -u
engine=$1
shift
defined=$(mktemp)
used=$(mktemp)
trap 'rm -f "$defined" "$used"' EXIT
for lib in "$@"; do
    nm -D --defined-only "$lib" | awk '{sub(/@.*/, "", $NF); print $NF}'
done | sort -u >"$defined"
nm --undefined-only "$engine" | awk 'NF {print $NF}' | sort -u >"$used"
[ -s "$defined" ] || { echo "no symbols read from $*"; exit 2; }
hits=$(comm -12 "$defined" "$used")
if [ -n "$hits" ]; then
    echo "the engine uses Qt's widget or GUI library:"
    echo "$hits" | c++filt | head -n 20
    exit 1
fi
echo "engine: $(wc -l <"$used") symbols used, none of Qt's widget or GUI library"
