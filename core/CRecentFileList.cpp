#include "core/CRecentFileList.h"

#include "core/CProfile.h"

namespace {
const QString kSection = QStringLiteral("Recent File List");
}

CRecentFileList::CRecentFileList(CProfile &profile) : m_profile(profile) {}

void CRecentFileList::ReadList() {
    m_entries.clear();
    for (int i = 1; i <= MAX_ENTRIES; ++i) {
        const QString strPath = m_profile.GetProfileString(kSection, QString("File%1").arg(i), "");
        if (!strPath.isEmpty() && !m_entries.contains(strPath))
            m_entries << strPath;
    }
}

void CRecentFileList::WriteList() {
    for (int i = 1; i <= MAX_ENTRIES; ++i)
        m_profile.WriteProfileString(kSection, QString("File%1").arg(i), m_entries.value(i - 1));
}

void CRecentFileList::Add(const QString &strPath) {
    if (strPath.isEmpty())
        return;
    m_entries.removeAll(strPath);
    m_entries.prepend(strPath);
    while (m_entries.size() > MAX_ENTRIES)
        m_entries.removeLast();
}

void CRecentFileList::Remove(int nIndex) {
    if (nIndex >= 0 && nIndex < m_entries.size())
        m_entries.removeAt(nIndex);
}
