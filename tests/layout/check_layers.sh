#!/bin/sh
# check_layers.sh SOURCE_DIR: fails when a folder includes from a folder above it.
# The layers, bottom to top: core; playback, remote, widgets; playlist (which shows the
# players' lengths in its own widgets); app. The tools use the core and the remote protocol.
set -u
cd "$1" || exit 2
allowed() {
    case $1 in
    core) echo "core" ;;
    playback | remote | widgets) echo "core $1" ;;
    playlist) echo "core playback widgets playlist" ;;
    tools) echo "core remote tools" ;;
    *) echo "" ;;
    esac
}
status=0
for folder in core playback remote widgets playlist tools; do
    ok=$(allowed "$folder")
    # Every '#include "folder/..."' names the folder it reaches into.
    for hit in $(grep -rno '^#include "[a-z]*/' "$folder" | sed 's/#include "//; s#/$##'); do
        target=${hit##*:}
        case " $ok " in
        *" $target "*) ;;
        *) echo "layer violation: ${hit%:*} includes from $target/"; status=1 ;;
        esac
    done
done
[ $status -eq 0 ] && echo "layers: every include points down or sideways as allowed"
exit $status
