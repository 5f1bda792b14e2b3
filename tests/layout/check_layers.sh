#!/bin/sh
# check_layers.sh SOURCE_DIR [QT_HEADERS]: fails when a folder includes from a folder above it,
# or when the show's own code reaches for Qt's widgets.
# The layers, bottom to top: core; playback, remote, widgets; playlist (which shows the
# players' lengths in its own widgets); engine (the show without its windows); app. The tools
# use the core and the remote protocol. Within playlist/, the model files stay free of widgets,
# so the engine can own them: only the list, the panel, the import runner and the wait cursor
# draw or ask the operator.
set -u
cd "$1" || exit 2
QT_HEADERS=${2:-$(dirname "$(find /usr/include -maxdepth 3 -type d -name QtCore | head -n 1)")}
allowed() {
    case $1 in
    core) echo "core" ;;
    playback | remote | widgets) echo "core $1" ;;
    playlist) echo "core playback widgets playlist" ;;
    engine) echo "core playback playlist engine" ;;
    tools) echo "core remote tools" ;;
    *) echo "" ;;
    esac
}
status=0
for folder in core playback remote widgets playlist engine tools; do
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

# The files of playback/ that put a picture into a window; everything else there, and the
# engine, works without one.
VIDEO_WINDOW="CFrameOutput CMPlayer CMediaProbe COutputScreen COverlayOutput CPlayerWindow
CVideoFrameSlot CVideoOutput CVideoSurface CVideoWidget"
is_video_window() {
    base=$(basename "$1")
    base=${base%.*}
    case " $(echo $VIDEO_WINDOW) " in *" $base "*) return 0 ;; esac
    return 1
}
# Which Qt module a header <QName> belongs to ("" for none of Qt's).
qt_module() {
    for module in QtCore QtNetwork QtGui QtWidgets; do
        [ -f "$QT_HEADERS/$module/$1" ] && { echo $module; return; }
    done
}
for file in engine/*.h engine/*.cpp playback/*.h playback/*.cpp; do
    [ -f "$file" ] || continue
    case $file in playback/*) is_video_window "$file" && continue ;; esac
    for header in $(sed -n 's/^#include <\(Q[A-Za-z]*\)>.*/\1/p' "$file"); do
        module=$(qt_module "$header")
        case $file:$module in
        *:QtWidgets | engine/*:QtGui)
            echo "widget-free code needs a window: $file includes <$header> ($module)"
            status=1 ;;
        esac
    done
    case $file in engine/*)
        for name in $(echo $VIDEO_WINDOW); do
            if grep -q "^#include \"playback/$name.h\"" "$file"; then
                echo "widget-free code needs a window: $file includes playback/$name.h"
                status=1
            fi
        done ;;
    esac
done
# The playlist's view files; every other file of the folder is the model.
PLAYLIST_VIEW="CListCtrlEx CRightView CImportRunner CWaitCursor"
for file in playlist/*.h playlist/*.cpp; do
    base=$(basename "$file")
    case " $PLAYLIST_VIEW " in *" ${base%.*} "*) continue ;; esac
    for header in $(sed -n 's/^#include <\(Q[A-Za-z]*\)>.*/\1/p' "$file"); do
        module=$(qt_module "$header")
        case $module in
        QtGui | QtWidgets)
            echo "playlist model draws or asks: $file includes <$header> ($module)"
            status=1 ;;
        esac
    done
    # Nor through our own headers: the widgets, the dialog seam, the playlist's view.
    for name in $(sed -n 's/^#include "\([a-z]*\/[A-Za-z]*\)\.h".*/\1/p' "$file"); do
        case $name in
        widgets/* | core/CModalUI | playlist/CListCtrlEx | playlist/CRightView | \
            playlist/CImportRunner | playlist/CWaitCursor)
            echo "playlist model draws or asks: $file includes $name.h"
            status=1 ;;
        esac
    done
done
[ $status -eq 0 ] && echo "layers: every include points down or sideways as allowed; the engine, the players and the playlist model need no window"
exit $status
