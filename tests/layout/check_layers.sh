#!/bin/sh
# check_layers.sh SOURCE_DIR: fails when a folder includes from a folder above it.
# The layers, bottom to top: core; playback, remote, widgets; playlist (which shows the
# players' lengths in its own widgets); app. The tools use the core and the remote protocol.
# Within playlist/, the model files stay free of widgets, so the engine can own them: only
# the list, the panel, the import runner and the wait cursor draw or ask the operator.
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
# The playlist's view files; every other file of the folder is the model.
playlist_view='CListCtrlEx|CRightView|CImportRunner|CWaitCursor'
widget_headers='<(QtWidgets|QtGui)/|<Q(Widget|Application|GuiApplication|Cursor|MessageBox|FileDialog|ProgressDialog|Dialog|Menu|Action|Painter|Pixmap|Image|Icon|Color|Font|FontMetrics|Palette|Bitmap|KeyEvent|MouseEvent|DropEvent|ToolTip|ScrollBar|Style|AbstractScrollArea|Label|PushButton|Screen|Window|Clipboard|DesktopServices)>'
widget_files='"(widgets/|core/CModalUI\.h|playlist/('"$playlist_view"')\.h)'
for file in $(ls playlist/*.h playlist/*.cpp | grep -Ev "/($playlist_view)\.(h|cpp)$"); do
    for hit in $(grep -nE "^#include ($widget_headers|$widget_files)" "$file" | sed 's/#include *//'); do
        echo "model file draws or asks: $file:${hit%%:*} includes ${hit#*:}"
        status=1
    done
done
[ $status -eq 0 ] && echo "layers: every include points down or sideways as allowed"
exit $status
