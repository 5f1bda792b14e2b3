#include "CPlaylistFixture.h"

#include "playback/CMediaProbe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

CPlaylistFixture::CPlaylistFixture() {
    MakeList();
}

CPlaylistCtrl &CPlaylistFixture::MakeList(const QString &strStartDir) {
    auto pProbe = std::make_unique<CFakePlayer>();
    pProbe->m_bOnlyListed = true;
    m_pProbe = pProbe.get();
    m_pList.reset();
    m_pList = std::make_unique<CPlaylistCtrl>(strStartDir.isEmpty() ? Dir() : strStartDir,
                                              m_profile, m_settings, m_recent,
                                              std::make_unique<CMediaProbe>(std::move(pProbe)));
    m_pList->Initialize();
    QObject::connect(m_pList.get(), &CPlaylistCtrl::fileError,
                     [this](const QString &strMessage) { m_errors << strMessage; });
    QObject::connect(m_pList.get(), &CPlaylistCtrl::entryRequested,
                     [this](bool bPlay) { m_entries.push_back(bPlay); });
    return *m_pList;
}

bool CPlaylistFixture::RemoveRow(int nRow) {
    if (nRow < 0 || nRow >= m_pList->GetItemCount())
        return false;
    m_pList->RemoveEntries({m_pList->GetItemData(nRow)});
    return true;
}

QString CPlaylistFixture::Touch(const QString &strRelative) {
    return WriteFile(strRelative, {});
}

QString CPlaylistFixture::WriteFile(const QString &strRelative, const QByteArray &bytes) {
    const QString strPath = Dir() + "/" + strRelative;
    QDir().mkpath(QFileInfo(strPath).path());
    QFile file(strPath);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << strPath.toStdString();
    file.write(bytes);
    return strPath;
}

QByteArray CPlaylistFixture::ReadFile(const QString &strPath) const {
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void CPlaylistFixture::AddNamed(const QStringList &names) {
    for (const QString &strName : names)
        m_pList->AddEntry(Touch(strName + ".mp3"), -1, strName, " 0:01:00");
}

QStringList CPlaylistFixture::Names() const {
    QStringList names;
    for (int i = 0; i < m_pList->GetItemCount(); ++i)
        names << m_pList->GetItemText(i, CPlaylistCtrl::COL_NAME);
    return names;
}
