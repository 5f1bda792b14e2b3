// Test fixture: a playlist over in-memory settings, a fake probe player and a private temporary
// folder as start directory; the texts the playlist reports for the operator and its requests
// for its current entry are collected.
#pragma once

#include "core/CGeneralSettings.h"
#include "core/CRecentFileList.h"
#include "playlist/CPlaylistCtrl.h"
#include "support/CFakePlayer.h"
#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

// Readable failure output for Qt strings (and, through it, string lists).
inline void PrintTo(const QString &str, std::ostream *os) {
    *os << '"' << str.toStdString() << '"';
}

class CPlaylistFixture : public ::testing::Test {
protected:
    CPlaylistFixture();

    // A new, initialised playlist (settings not loaded) that replaces the current one.
    CPlaylistCtrl &MakeList(const QString &strStartDir = QString());
    // Creates an empty file (and its folders) below the temporary folder; returns its path.
    QString Touch(const QString &strRelative);
    // Writes raw bytes to a file below the temporary folder; returns its path.
    QString WriteFile(const QString &strRelative, const QByteArray &bytes);
    QByteArray ReadFile(const QString &strPath) const;
    QString Dir() const { return m_dir.path(); }
    // Adds files under the given names with a title and a length, so no probing happens.
    void AddNamed(const QStringList &names);
    // Removes one row by its entry id, as the panel removes a selection. False when there is
    // no such row.
    bool RemoveRow(int nRow);
    // The Name column of every row, in row order.
    QStringList Names() const;
    int PlayEntryCount() const { return int(m_entries.size()); }

    QTemporaryDir m_dir;
    CLogCapture m_log;
    CMemoryProfile m_profile;
    CGeneralSettings m_settings{m_profile};
    // What fileError reported, in order.
    QStringList m_errors;
    // The entryRequested signals (whether to play), in order.
    std::vector<bool> m_entries;
    CRecentFileList m_recent{m_profile};
    CFakePlayer *m_pProbe = nullptr;
    std::unique_ptr<CPlaylistCtrl> m_pList;
};
