#include "CPanelFixture.h"

#include "playback/CMediaProbe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

CPanelFixture::CPanelFixture() {
    // Most tests start empty; the start-up reload has tests of its own.
    m_settings.SetReloadPlaylist(false);
}

CRightView &CPanelFixture::MakeView(int nWidth, int nHeight, bool bInit) {
    // The panel, then its playlist, written as the show writes it at the end.
    m_pView.reset();
    if (m_pModel)
        m_pModel->SaveSettings();
    m_pModel = std::make_unique<CPlaylistCtrl>(m_dir.path(), m_profile, m_settings, m_recent,
                                               CMediaProbe::Create());
    QObject::connect(m_pModel.get(), &CPlaylistCtrl::entryRequested,
                     [this] { ++m_nEntryRequests; });
    m_pView = std::make_unique<CRightView>(*m_pModel, m_sink, m_ui);
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
    const CPlaylistCtrl &list = *m_pModel;
    for (int i = 0; i < list.GetItemCount(); ++i)
        names << list.GetItemText(i, CPlaylistCtrl::COL_NAME);
    return names;
}

QPoint CPanelFixture::CellPoint(int nRow, int nCol) {
    const QRect rcRow = Ctrl().GetItemRect(nRow);
    const int x = rcRow.left() + Ctrl().GetColumnLeft(nCol) + Ctrl().GetColumnWidth(nCol) / 2;
    return QPoint(x, rcRow.center().y());
}
