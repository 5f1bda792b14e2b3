// The four most recently opened documents, kept in the "Recent File List" section as
// "File1".."File4", newest first.
#pragma once

#include <QStringList>

class CProfile;

class CRecentFileList {
public:
    static constexpr int MAX_ENTRIES = 4;

    explicit CRecentFileList(CProfile &profile);

    void ReadList();
    void WriteList();
    // Moves (or puts) the path to the top; a path already listed is matched
    // case-sensitively, as paths are on this platform.
    void Add(const QString &strPath);
    // Drops the entry at nIndex (one that no longer opens); any other index changes nothing.
    void Remove(int nIndex);
    const QStringList &GetEntries() const { return m_entries; }

private:
    CProfile &m_profile;
    QStringList m_entries;
};
