#include "CPanelFixture.h"

#include "core/UserMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

CPanelFixture::CPanelFixture() {
    // Most tests start empty; the start-up reload has tests of its own.
    m_settings.SetReloadPlaylist(false);
}

CRightView &CPanelFixture::MakeView(int nWidth, int nHeight, bool bInit) {
    m_pView.reset();
    m_pView = std::make_unique<CRightView>(m_sink, m_sink, m_profile, m_settings, m_ui, m_recent,
                                           m_dir.path());
    m_pView->resize(nWidth, nHeight);
    m_pView->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(m_pView.get()));
    if (bInit)
        m_pView->OnInitialUpdate();
    return *m_pView;
}

QString CPanelFixture::Touch(const QString &strRelative) {
    const QString strPath = m_dir.path() + "/" + strRelative;
    QDir().mkpath(QFileInfo(strPath).path());
    QFile file(strPath);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    return strPath;
}

void CPanelFixture::AddNamed(const QStringList &names) {
    for (const QString &strName : names)
        List().AddEntry(Touch(strName + ".avi"), -1, strName, " 0:01:05");
}

QStringList CPanelFixture::Names() const {
    QStringList names;
    CPlaylistCtrl &list = m_pView->GetPlaylist();
    for (int i = 0; i < list.GetItemCount(); ++i)
        names << list.GetItemText(i, CPlaylistCtrl::COL_NAME);
    return names;
}

QPoint CPanelFixture::CellPoint(int nRow, int nCol) {
    const QRect rcRow = Ctrl().GetItemRect(nRow);
    const int x = rcRow.left() + Ctrl().GetColumnLeft(nCol) + Ctrl().GetColumnWidth(nCol) / 2;
    return QPoint(x, rcRow.center().y());
}

int CPanelFixture::PlayEntryMessages(uintptr_t wParam, intptr_t lParam) const {
    int n = 0;
    for (const auto &m : m_sink.m_messages)
        n += m == CRecordingSink::Message{WM_PLAY_ENTRY, wParam, lParam};
    return n;
}
