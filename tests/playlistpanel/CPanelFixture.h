// Test fixture: a playlist panel over in-memory settings, a recording command sink and scripted
// dialogs, shown as its own window under the offscreen platform, with a private folder.
#pragma once

#include "core/CGeneralSettings.h"
#include "core/CRecentFileList.h"
#include "playlist/CListCtrlEx.h"
#include "playlist/CPlaylistCtrl.h"
#include "playlist/CRightView.h"
#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"
#include "support/CScriptedModalUI.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

inline void PrintTo(const QString &str, std::ostream *os) {
    *os << '"' << str.toStdString() << '"';
}

class CPanelFixture : public ::testing::Test {
protected:
    CPanelFixture();

    // A new panel of the given size, shown; bInit runs its first initial update.
    CRightView &MakeView(int nWidth = 300, int nHeight = 400, bool bInit = true);
    CPlaylistCtrl &List() { return *m_pModel; }
    CListCtrlEx &Ctrl() { return m_pView->GetListCtrl(); }

    // Creates an empty file (and its folders) below the private folder; returns its path.
    QString Touch(const QString &strRelative);
    QString Dir() const { return m_dir.path(); }
    // Adds existing files with a title and a length, so nothing is probed.
    void AddNamed(const QStringList &names);
    // The Name column of every row, in row order.
    QStringList Names() const;
    // Centre of a cell of a row, in the list's viewport coordinates.
    QPoint CellPoint(int nRow, int nCol = CPlaylistCtrl::COL_NAME);
    // How often the playlist asked for its current entry.
    int m_nEntryRequests = 0;

    QTemporaryDir m_dir;
    CLogCapture m_log;
    CMemoryProfile m_profile;
    CGeneralSettings m_settings{m_profile};
    CRecordingSink m_sink;
    CScriptedModalUI m_ui;
    CRecentFileList m_recent{m_profile};
    std::unique_ptr<CPlaylistCtrl> m_pModel;
    std::unique_ptr<CRightView> m_pView;
};
