// The record behind one playlist row: the media file and what the list shows for it.
#pragma once

#include <QString>

struct CPlaylistEntry {
    CPlaylistEntry(QString strPath, QString strTitle, QString strLength, int nID)
        : m_strPath(std::move(strPath)), m_strTitle(std::move(strTitle)),
          m_strLength(std::move(strLength)), m_nID(nID) {}

    QString m_strPath;
    QString m_strTitle;
    QString m_strLength;
    int m_nID;
};
