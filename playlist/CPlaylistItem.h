// One entry as a playlist file describes it, before the playlist resolves and checks it.
#pragma once

#include <QString>

struct CPlaylistItem {
    int m_nLength = 0; // whole seconds, 0 when the file gives none
    QString m_strPath; // as written in the file; relative paths are resolved by the loader
    QString m_strTitle;
};
