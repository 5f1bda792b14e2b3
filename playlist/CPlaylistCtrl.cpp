#include "playlist/CPlaylistCtrl.h"

#include "core/CGeneralSettings.h"
#include "core/CLogBook.h"
#include "core/CMediaTypes.h"
#include "core/CProfile.h"
#include "core/CRecentFileList.h"
#include "playback/CMediaProbe.h"
#include "playlist/CPlaylistReader.h"
#include "playlist/CPlaylistText.h"
#include "playlist/CPlaylistWriter.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <unistd.h>

namespace {

const QString kSection = QStringLiteral("Playlist");
const QString kNoLength = QStringLiteral("0:00:00");

using MediaKind = CMediaTypes::Kind;

std::optional<MediaKind> KindOf(const QString &strPath) {
    const QString strExt = CPlaylistText::Extension(strPath);
    return strExt.isEmpty() ? std::nullopt : CMediaTypes::KindOf(strExt);
}

// The sort key: ASCII letters fold to lower case and every other byte compares by its value,
// so the order is the same whatever the machine's locale.
QByteArray FoldedKey(const QString &str) {
    return CPlaylistText::ToLowerAscii(CPlaylistText::ToFile(str));
}

QString JoinPath(const QString &strFolder, const QString &strName) {
    if (strFolder.isEmpty() || strFolder.endsWith(QLatin1Char('/')))
        return strFolder + strName;
    return strFolder + QLatin1Char('/') + strName;
}

} // namespace

// Suspends the row notifications of a bulk edit; the outermost lock sends one reset instead.
class CPlaylistCtrl::CUpdateLock {
public:
    explicit CUpdateLock(CPlaylistCtrl &ctrl) : m_ctrl(ctrl) { ++m_ctrl.m_nUpdateLock; }
    ~CUpdateLock() {
        if (m_ctrl.m_nUpdateLock == 1 && m_ctrl.m_bIconsPending) {
            m_ctrl.m_bIconsPending = false;
            m_ctrl.RefreshPlayerIcons();
        }
        if (--m_ctrl.m_nUpdateLock == 0 && m_ctrl.m_bResetPending) {
            m_ctrl.m_bResetPending = false;
            emit m_ctrl.rowsReset();
        }
    }
    CUpdateLock(const CUpdateLock &) = delete;
    CUpdateLock &operator=(const CUpdateLock &) = delete;

private:
    CPlaylistCtrl &m_ctrl;
};

CPlaylistCtrl::CPlaylistCtrl(const QString &strStartDir, CProfile &profile,
                             CGeneralSettings &settings, CRecentFileList &recentFiles,
                             std::unique_ptr<CMediaProbe> pLengthProbe, QObject *pParent)
    : QObject(pParent), m_strStartDir(strStartDir), m_profile(profile), m_settings(settings),
      m_recentFiles(recentFiles), m_pLengthProbe(std::move(pLengthProbe)) {}

CPlaylistCtrl::~CPlaylistCtrl() = default;

QString CPlaylistCtrl::GetLastPlaylistPath() const {
    return JoinPath(m_strStartDir, QLatin1String(LAST_PLAYLIST_NAME));
}

// ---------------------------------------------------------------------------------------
// Notifications

void CPlaylistCtrl::NotifyInserted(int nFirst, int nCount) {
    if (m_nUpdateLock > 0)
        m_bResetPending = true;
    else
        emit rowsInserted(nFirst, nCount);
}

void CPlaylistCtrl::NotifyRemoved(int nFirst, int nCount) {
    if (m_nUpdateLock > 0)
        m_bResetPending = true;
    else
        emit rowsRemoved(nFirst, nCount);
}

void CPlaylistCtrl::NotifyChanged(int nFirst, int nLast) {
    if (nFirst > nLast)
        return;
    if (m_nUpdateLock > 0)
        m_bResetPending = true;
    else
        emit rowsChanged(nFirst, nLast);
}

void CPlaylistCtrl::NotifyReset() {
    if (m_nUpdateLock > 0)
        m_bResetPending = true;
    else
        emit rowsReset();
}

// ---------------------------------------------------------------------------------------
// Rows and records

void CPlaylistCtrl::InsertRow(int nPos, Row row) {
    const int nID = row.nID;
    if (nPos >= GetItemCount()) {
        nPos = GetItemCount();
        m_rows.push_back(std::move(row));
        if (m_nUpdateLock > 0)
            m_bRowIndexValid = false; // rebuilt once, at the first look-up after the import
        else if (m_bRowIndexValid)
            m_rowByID.insert(nID, nPos);
    } else {
        m_rows.insert(m_rows.begin() + nPos, std::move(row));
        m_bRowIndexValid = false;
    }
}

void CPlaylistCtrl::EraseRow(int nPos) {
    const int nID = m_rows[nPos].nID;
    if (nPos == GetItemCount() - 1) {
        m_rows.pop_back();
        if (m_bRowIndexValid)
            m_rowByID.remove(nID);
    } else {
        m_rows.erase(m_rows.begin() + nPos);
        m_bRowIndexValid = false;
    }
}

void CPlaylistCtrl::SetRowImage(int nRow, int nImage) {
    Row &row = m_rows[nRow];
    if (row.nImage == nImage)
        return;
    if (row.nImage == ICON_NONE)
        m_iconIDs.push_back(row.nID);
    else if (nImage == ICON_NONE)
        m_iconIDs.erase(std::remove(m_iconIDs.begin(), m_iconIDs.end(), row.nID), m_iconIDs.end());
    row.nImage = nImage;
    NotifyChanged(nRow, nRow);
}

void CPlaylistCtrl::RemoveRecord(int nID) {
    const int nIndex = FindEntryByID(nID);
    if (nIndex < 0)
        return;
    if (m_bPathIndexValid && m_firstIDByPath.value(m_Entries[nIndex]->m_strPath) == nID)
        m_bPathIndexValid = false;
    m_Entries.erase(m_Entries.begin() + nIndex);
}

void CPlaylistCtrl::CheckMarked() {
    if (m_nMarkedID != -1 && FindRowByID(m_nMarkedID) < 0) {
        m_nMarkedID = -1;
        emit markedChanged(m_nMarkedID);
    }
}

int CPlaylistCtrl::FindRowByID(int nID) const {
    if (nID <= 0)
        return -1; // ids start at 1: no row carries 0 or -1
    if (!m_bRowIndexValid) {
        m_rowByID.clear();
        m_rowByID.reserve(GetItemCount());
        for (int i = 0; i < GetItemCount(); ++i)
            m_rowByID.insert(m_rows[i].nID, i);
        m_bRowIndexValid = true;
    }
    return m_rowByID.value(nID, -1);
}

int CPlaylistCtrl::FindEntryByID(int nID) const {
    const auto it = std::lower_bound(
        m_Entries.begin(), m_Entries.end(), nID,
        [](const std::unique_ptr<CPlaylistEntry> &p, int n) { return p->m_nID < n; });
    if (it == m_Entries.end() || (*it)->m_nID != nID)
        return -1;
    return static_cast<int>(it - m_Entries.begin());
}

int CPlaylistCtrl::FindIDByPath(const QString &strPath) const {
    if (m_Entries.empty())
        return 0;
    if (!m_bPathIndexValid) {
        m_firstIDByPath.clear();
        m_firstIDByPath.reserve(static_cast<qsizetype>(m_Entries.size()));
        for (const auto &pEntry : m_Entries)
            if (!m_firstIDByPath.contains(pEntry->m_strPath))
                m_firstIDByPath.insert(pEntry->m_strPath, pEntry->m_nID);
        m_bPathIndexValid = true;
    }
    return m_firstIDByPath.value(strPath, 0);
}

const CPlaylistEntry *CPlaylistCtrl::GetRowEntry(int nRow) const {
    if (nRow < 0 || nRow >= GetItemCount())
        return nullptr;
    const int nIndex = FindEntryByID(m_rows[nRow].nID);
    return nIndex < 0 ? nullptr : m_Entries[nIndex].get();
}

int CPlaylistCtrl::GetItemData(int nRow) const {
    return nRow < 0 || nRow >= GetItemCount() ? 0 : m_rows[nRow].nID;
}

QString CPlaylistCtrl::GetItemText(int nRow, int nColumn) const {
    if (nRow < 0 || nRow >= GetItemCount())
        return QString();
    switch (nColumn) {
    case COL_NR:
        // Always what Renumber would write: the row numbers follow every edit at once.
        return QString::number(nRow + 1) + QLatin1Char('.');
    case COL_NAME:
        return m_rows[nRow].strName;
    case COL_TIME:
        return m_rows[nRow].strTime;
    default:
        return QString();
    }
}

int CPlaylistCtrl::GetItemImage(int nRow) const {
    return nRow < 0 || nRow >= GetItemCount() ? ICON_NONE : m_rows[nRow].nImage;
}

int CPlaylistCtrl::GetPlayerEntryID(int nPlayer) const {
    return nPlayer == 0 || nPlayer == 1 ? m_nPlayerEntryID[nPlayer] : 0;
}

void CPlaylistCtrl::SetMarkedItem(int nRow) {
    if (nRow < 0 || nRow >= GetItemCount())
        return;
    m_nMarkedID = m_rows[nRow].nID;
    emit markedChanged(m_nMarkedID);
}

// ---------------------------------------------------------------------------------------
// Tracks

int CPlaylistCtrl::GetTrackCount() const {
    return m_bInitialized ? GetItemCount() : -1;
}

int CPlaylistCtrl::GetCurTrack() const {
    return m_bInitialized ? m_CurTrack : -1;
}

QString CPlaylistCtrl::GetCurTrackPath() const {
    return GetTrackPath(m_CurTrack);
}

QString CPlaylistCtrl::GetTrackPath(int nRow) const {
    const CPlaylistEntry *pEntry = GetRowEntry(nRow);
    return pEntry ? pEntry->m_strPath : QString();
}

int CPlaylistCtrl::GetPlayListIndx(const QString &strPath) const {
    const int nID = FindIDByPath(strPath);
    if (nID == 0) {
        LogMsg("CPlaylistCtrl::GetPlayListIndx(): Item ID not found!\n");
        return -1;
    }
    return FindRowByID(nID);
}

int CPlaylistCtrl::NextTrackRow() const {
    const int nCount = GetItemCount();
    if (!m_bInitialized || nCount == 0 || m_CurTrack < 0)
        return -1;
    // Only step over the row that was loaded last; a row the operator made current since
    // is loaded itself.
    int nRow = m_CurTrack;
    if (nRow < nCount && m_rows[nRow].nID == m_nMarkedID)
        ++nRow;
    if (nRow >= nCount)
        return m_LoopList ? 0 : -1;
    return nRow;
}

QString CPlaylistCtrl::PeekNextTrackPath() const {
    return GetTrackPath(NextTrackRow());
}

void CPlaylistCtrl::NextTrack() {
    const int nCount = GetItemCount();
    if (!m_bInitialized || nCount == 0 || m_CurTrack < 0)
        return;
    const int nRow = NextTrackRow();
    if (nRow < 0) {
        m_CurTrack = nCount - 1;
        return;
    }
    m_CurTrack = nRow;
    SetMarkedItem(m_CurTrack);
    emit entryRequested(false);
}

void CPlaylistCtrl::PrevTrack() {
    const int nCount = GetItemCount();
    if (!m_bInitialized || m_CurTrack < 0 || nCount == 0)
        return;
    if (--m_CurTrack < 0) {
        if (!m_LoopList) {
            m_CurTrack = 0;
            return;
        }
        m_CurTrack = nCount - 1;
    }
    SetMarkedItem(m_CurTrack);
    emit entryRequested(false);
}

void CPlaylistCtrl::SetPlayerEntry(const QString &strPath, int nPlayer, const QString &strTitle,
                                   int nLengthMs) {
    if (!m_bInitialized || (nPlayer != 0 && nPlayer != 1))
        return;
    const int nID = FindIDByPath(strPath);
    if (nID == 0)
        return;
    m_nPlayerEntryID[nPlayer] = nID;
    RefreshPlayerIcons();

    if (strTitle.isEmpty() || nLengthMs == 0)
        return;
    const int nRow = FindRowByID(nID);
    if (nRow < 0)
        return;
    const QString strLength = FormatLength(nLengthMs);
    m_rows[nRow].strName = strTitle;
    m_rows[nRow].strTime = strLength;
    NotifyChanged(nRow, nRow);
    const int nIndex = FindEntryByID(nID);
    if (nIndex >= 0) {
        m_Entries[nIndex]->m_strTitle = strTitle;
        m_Entries[nIndex]->m_strLength = strLength;
    }
}

void CPlaylistCtrl::SelectPlayerEntry(int nPlayer) {
    if (nPlayer != 0 && nPlayer != 1)
        return;
    const int nRow = FindRowByID(m_nPlayerEntryID[nPlayer]);
    if (nRow < 0)
        return;
    m_CurTrack = nRow;
    SetMarkedItem(nRow);
}

void CPlaylistCtrl::Renumber() {
    // The number column is derived from the row position (GetItemText), so it is right
    // after every edit; a view only needs to hear about it.
    NotifyChanged(0, GetItemCount() - 1);
}

void CPlaylistCtrl::RefreshPlayerIcons() {
    const int nRowA = FindRowByID(m_nPlayerEntryID[0]);
    const int nRowB = FindRowByID(m_nPlayerEntryID[1]);
    if (nRowA < 0 && nRowB < 0)
        return;
    // Every row showing an icon goes back to none, then the two holders get theirs; when
    // both players hold the same entry, Player B's icon wins.
    const std::vector<int> shown = m_iconIDs;
    for (int nID : shown) {
        const int nRow = FindRowByID(nID);
        if (nRow < 0) {
            m_iconIDs.erase(std::remove(m_iconIDs.begin(), m_iconIDs.end(), nID), m_iconIDs.end());
            continue;
        }
        if (nRow != nRowA && nRow != nRowB)
            SetRowImage(nRow, ICON_NONE);
    }
    if (nRowA >= 0 && nRowA != nRowB)
        SetRowImage(nRowA, ICON_PLAYER_A);
    if (nRowB >= 0)
        SetRowImage(nRowB, ICON_PLAYER_B);
}

// ---------------------------------------------------------------------------------------
// Adding

void CPlaylistCtrl::Insert(const QString &strPath, int nRow, const QString &strTitle,
                           const QString &strLength) {
    const int nPos = nRow < 0 || nRow > GetItemCount() ? GetItemCount() : nRow;
    const int nID = m_nNextID;
    InsertRow(nPos, Row{nID, ICON_NONE, strTitle, strLength});
    m_Entries.push_back(std::make_unique<CPlaylistEntry>(strPath, strTitle, strLength, nID));
    // A bulk import asks nothing by path while it runs: the table is rebuilt once, when the
    // first question comes.
    if (m_nUpdateLock > 0)
        m_bPathIndexValid = false;
    else if (m_bPathIndexValid && !m_firstIDByPath.contains(strPath))
        m_firstIDByPath.insert(strPath, nID);
    NotifyInserted(nPos, 1);
    // New rows never hold a player's entry, so during a bulk import one refresh at the end
    // gives the same icons as one per row.
    if (m_nUpdateLock > 0)
        m_bIconsPending = true;
    else
        RefreshPlayerIcons();
    ++m_nNextID;
}

void CPlaylistCtrl::AddEntry(const QString &strPath, int nRow, const QString &strTitle,
                             const QString &strLength) {
    if (!m_bInitialized)
        return;
    if (!IsMediaFile(strPath)) {
        LogMsg("CPlaylistCtrl::AddEntry() : Filetype unknown or not supported!\n");
        return;
    }
    if (::access(CPlaylistText::ToFile(strPath).constData(), F_OK) != 0) {
        LogMsg("CPlaylistCtrl::AddEntry() : File or path not found!\n");
        return;
    }

    QString strNewTitle = strTitle;
    QString strNewLength = strLength;
    if (strTitle.isEmpty() || strLength.isEmpty() || strLength == kNoLength) {
        strNewTitle = GetFileNameFromPath(strPath);
        strNewLength = kNoLength;
        QString strProbeTitle;
        int nLengthMs = 0;
        if (IsTimedMedia(strPath) && m_pLengthProbe &&
            m_pLengthProbe->Probe(strPath, strProbeTitle, nLengthMs)) {
            if (!strProbeTitle.isEmpty())
                strNewTitle = strProbeTitle;
            strNewLength = FormatLength(nLengthMs);
        }
    }
    Insert(strPath, nRow, strNewTitle, strNewLength);
}

void CPlaylistCtrl::AddFolder(const QString &strFolder, int nRow) {
    QSet<QString> visited;
    AddFolder(strFolder, nRow, visited);
}

QStringList CPlaylistCtrl::CollectFolderFiles(const QString &strFolder, QSet<QString> &visited) {
    QStringList files;
    // An empty name would search the working directory.
    if (strFolder.isEmpty())
        return files;
    // A link back up the tree must not recurse for ever: each folder is searched once.
    const QString strCanonical = QFileInfo(strFolder).canonicalFilePath();
    if (!strCanonical.isEmpty()) {
        if (visited.contains(strCanonical))
            return files;
        visited.insert(strCanonical);
    }

    QStringList names = QDir(strFolder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    // The directory lists its names in no particular order here; byte order gives the
    // operator the same order every time.
    std::sort(names.begin(), names.end(), CPlaylistText::ByteOrder);
    for (const QString &strName : names) {
        const QString strPath = JoinPath(strFolder, strName);
        if (QFileInfo(strPath).isDir())
            files << CollectFolderFiles(strPath, visited);
        else
            files << strPath;
    }
    return files;
}

void CPlaylistCtrl::AddFolder(const QString &strFolder, int nRow, QSet<QString> &visited) {
    const QStringList files = CollectFolderFiles(strFolder, visited);
    if (files.isEmpty())
        return;
    CUpdateLock lock(*this);
    for (const QString &strPath : files)
        AddEntry(strPath, nRow, QString(), QString());
}

void CPlaylistCtrl::AddPlayList(const QString &strPath, int nRow, bool bShowErrors) {
    if (!IsPlaylistFile(strPath)) {
        LogMsg("CPlaylistCtrl::AddPlayList(): Playlist format not supported!\n");
        return;
    }
    CPlaylistReader reader;
    if (!reader.Load(strPath)) {
        if (bShowErrors && !reader.GetError().isEmpty())
            emit fileError(reader.GetError());
        return;
    }

    const QString strBase = CPlaylistText::Folder(strPath);
    const size_t nItems = reader.GetItems().size();
    m_rows.reserve(m_rows.size() + nItems);
    m_Entries.reserve(m_Entries.size() + nItems);
    CUpdateLock lock(*this);
    for (const CPlaylistItem &item : reader.GetItems()) {
        const QString strLength = FormatLength(qint64(item.m_nLength) * 1000);
        const QString strItemPath =
            item.m_strPath.startsWith(QLatin1Char('/')) ? item.m_strPath : strBase + item.m_strPath;
        AddEntry(strItemPath, nRow, item.m_strTitle, strLength);
    }
}

QString CPlaylistCtrl::OpenPlaylist(const QString &strFile, bool bShowErrors) {
    if (strFile.isEmpty())
        return QString();
    if (!IsPlaylistFile(strFile)) {
        LogMsg("CPlaylistCtrl::OpenPlaylist(): Playlist format not supported!\n");
        return QString();
    }
    ClearPlaylist();
    AddPlayList(strFile, -1, bShowErrors);
    if (!strFile.contains(QLatin1String(LAST_PLAYLIST_NAME)))
        m_recentFiles.Add(strFile);
    emit playlistOpened(strFile);
    return strFile;
}

bool CPlaylistCtrl::CanSave(const QString &strPath) const {
    if (m_rows.empty() && !strPath.contains(QLatin1String(LAST_PLAYLIST_NAME))) {
        LogMsg("CPlaylistCtrl::SavePlaylist(): No entries in playlist!\n");
        return false;
    }
    return true;
}

void CPlaylistCtrl::SavePlaylist(const QString &strFile, bool bFormatByExtension) {
    if (!CanSave(strFile) || strFile.isEmpty())
        return;
    const QString strFormat =
        bFormatByExtension ? CPlaylistText::Extension(strFile).mid(1) : QStringLiteral("M3U");

    CPlaylistWriter writer;
    const QString strUpper = strFormat.toUpper();
    if (strUpper == QLatin1String("M3U"))
        writer.SetFormat(CPlaylistWriter::FORMAT_M3U);
    else if (strUpper == QLatin1String("PLS"))
        writer.SetFormat(CPlaylistWriter::FORMAT_PLS);
    else
        return;

    if (!writer.BeginFile(strFile)) {
        emit fileError(writer.GetError());
        return;
    }
    for (const Row &row : m_rows) {
        const int nIndex = FindEntryByID(row.nID);
        if (nIndex < 0)
            continue;
        const CPlaylistEntry &entry = *m_Entries[nIndex];
        writer.WriteEntry(entry.m_strPath, entry.m_strTitle, entry.m_strLength);
    }
    // A file that did not make it to disk does not belong in the recent-file list.
    if (!writer.EndFile())
        emit fileError(writer.GetError());
    else if (!strFile.contains(QLatin1String(LAST_PLAYLIST_NAME)))
        m_recentFiles.Add(strFile);
}

void CPlaylistCtrl::OnDropFiles(const QStringList &names, int nDropRow) {
    if (names.isEmpty())
        return;
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end(), CPlaylistText::ByteOrder);

    if (sorted.size() == 1 && IsPlaylistFile(sorted.first())) {
        AddPlayList(sorted.first(), -1);
        return;
    }
    CUpdateLock lock(*this);
    for (const QString &strName : sorted) {
        const QFileInfo info(strName);
        // A name that cannot be looked at is searched as a folder, which finds nothing.
        if (!info.exists() || info.isDir())
            AddFolder(strName, nDropRow);
        else
            AddEntry(strName, nDropRow, QString(), QString());
    }
}

// ---------------------------------------------------------------------------------------
// Deleting

void CPlaylistCtrl::DeleteRows(const std::vector<bool> &doomed) {
    QSet<int> ids;
    for (int i = 0; i < GetItemCount(); ++i)
        if (doomed[i])
            ids.insert(m_rows[i].nID);
    if (ids.isEmpty())
        return;

    m_Entries.erase(std::remove_if(m_Entries.begin(), m_Entries.end(),
                                   [&ids](const std::unique_ptr<CPlaylistEntry> &p) {
                                       return ids.contains(p->m_nID);
                                   }),
                    m_Entries.end());
    size_t nIndex = 0;
    m_rows.erase(
        std::remove_if(m_rows.begin(), m_rows.end(), [&](const Row &) { return doomed[nIndex++]; }),
        m_rows.end());
    m_bRowIndexValid = false;
    m_bPathIndexValid = false;
    NotifyReset();
    CheckMarked();
}

void CPlaylistCtrl::RemoveEntries(const QSet<int> &ids) {
    if (!m_bInitialized || ids.isEmpty())
        return;
    std::vector<bool> doomed(m_rows.size());
    for (size_t i = 0; i < m_rows.size(); ++i)
        doomed[i] = ids.contains(m_rows[i].nID);
    DeleteRows(doomed);
}

void CPlaylistCtrl::KeepOnlyEntries(const QSet<int> &ids) {
    if (!m_bInitialized)
        return;
    std::vector<bool> doomed(m_rows.size());
    bool bAnyKept = false;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        doomed[i] = !ids.contains(m_rows[i].nID);
        bAnyKept = bAnyKept || !doomed[i];
    }
    if (bAnyKept)
        DeleteRows(doomed);
}

void CPlaylistCtrl::ClearPlaylist() {
    if (m_rows.empty())
        return;
    DeleteRows(std::vector<bool>(m_rows.size(), true));
}

// ---------------------------------------------------------------------------------------
// Ordering

template <class KeyOf> void CPlaylistCtrl::SortRows(KeyOf keyOf) {
    if (!m_bInitialized || m_rows.empty())
        return;
    std::vector<std::pair<QByteArray, size_t>> keys;
    keys.reserve(m_rows.size());
    for (size_t i = 0; i < m_rows.size(); ++i)
        keys.emplace_back(FoldedKey(keyOf(m_rows[i])), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    for (const auto &[key, nOld] : keys)
        sorted.push_back(std::move(m_rows[nOld]));
    m_rows = std::move(sorted);
    m_bRowIndexValid = false;
    NotifyReset();
    Renumber();
    RefreshPlayerIcons();
}

void CPlaylistCtrl::SortByTitle() {
    SortRows([](const Row &row) { return row.strName; });
}

void CPlaylistCtrl::SortByFileName() {
    SortRows([this](const Row &row) {
        const int nIndex = FindEntryByID(row.nID);
        return nIndex < 0 ? QString() : GetFileNameFromPath(m_Entries[nIndex]->m_strPath);
    });
}

void CPlaylistCtrl::SortByPath() {
    SortRows([this](const Row &row) {
        const int nIndex = FindEntryByID(row.nID);
        return nIndex < 0 ? QString() : m_Entries[nIndex]->m_strPath;
    });
}

bool CPlaylistCtrl::MoveEntry(int nFrom, int nTo, bool bDeleteSource) {
    if (nFrom < 0 || nFrom >= GetItemCount() || nTo < 0 || nFrom == nTo)
        return false;
    const Row &source = m_rows[nFrom];
    Row row{source.nID, ICON_NONE, source.strName, source.strTime};
    if (bDeleteSource) {
        if (m_rows[nFrom].nImage != ICON_NONE)
            SetRowImage(nFrom, ICON_NONE);
        EraseRow(nFrom);
        NotifyRemoved(nFrom, 1);
    }
    nTo = std::min(nTo, GetItemCount());
    InsertRow(nTo, std::move(row));
    NotifyInserted(nTo, 1);
    return true;
}

QSet<int> CPlaylistCtrl::MoveEntries(const std::vector<int> &ids, int nDropRow) {
    QSet<int> moved;
    {
        CUpdateLock lock(*this);
        for (auto it = ids.rbegin(); it != ids.rend(); ++it)
            if (MoveEntry(FindRowByID(*it), nDropRow, true))
                moved.insert(*it);
    }
    const int nMarkedRow = FindRowByID(m_nMarkedID);
    if (nMarkedRow >= 0)
        m_CurTrack = nMarkedRow;
    Renumber();
    RefreshPlayerIcons();
    return moved;
}

// ---------------------------------------------------------------------------------------
// Start-up and shut-down

void CPlaylistCtrl::LoadSettings() {
    m_CurTrack = m_profile.GetProfileInt(kSection, QStringLiteral("m_CurTrack"), -1);
    m_LoopList = m_profile.GetProfileFlag(kSection, QStringLiteral("m_LoopList"), false);
    m_AutoSkipTrack = m_profile.GetProfileFlag(kSection, QStringLiteral("m_AutoSkipTrack"), true);
    m_bLoopSingleTrack =
        m_profile.GetProfileFlag(kSection, QStringLiteral("m_bLoopSingleTrack"), false);

    if (m_settings.GetReloadPlaylist()) {
        AddPlayList(GetLastPlaylistPath(), -1);
        SetMarkedItem(m_CurTrack);
        emit entryRequested(false);
    } else if (!m_settings.GetAutoPlaylist().isEmpty()) {
        OpenPlaylist(m_settings.GetAutoPlaylist());
        m_CurTrack = 0;
        emit entryRequested(m_settings.GetAutoPlayTrack());
        SetMarkedItem(0);
    } else {
        SetMarkedItem(m_CurTrack);
        emit entryRequested(false);
    }
}

void CPlaylistCtrl::SaveSettings() {
    if (!m_bInitialized)
        return;
    m_profile.WriteProfileInt(kSection, QStringLiteral("m_CurTrack"), m_CurTrack);
    m_profile.WriteProfileBool(kSection, QStringLiteral("m_LoopList"), m_LoopList);
    m_profile.WriteProfileBool(kSection, QStringLiteral("m_AutoSkipTrack"), m_AutoSkipTrack);
    m_profile.WriteProfileBool(kSection, QStringLiteral("m_bLoopSingleTrack"), m_bLoopSingleTrack);
    // The name is the program's own: a pipe, a device or a link to one found there cannot
    // hold the list, and a message box would hold up the shut-down, so it makes way.
    const QString strLast = GetLastPlaylistPath();
    const QByteArray last = CPlaylistText::ToFile(strLast);
    if (!CPlaylistWriter::CanReplace(strLast) && ::unlink(last.constData()) == 0)
        LogMsg("CPlaylistCtrl::SaveSettings(): Replaced what was not a regular file: %s\n",
               last.constData());
    SavePlaylist(strLast);
}

// ---------------------------------------------------------------------------------------
// Helpers

QString CPlaylistCtrl::FormatLength(qint64 nMs) {
    nMs = std::max<qint64>(nMs, 0);
    const int nHours = static_cast<int>(nMs / 3600000 % 24);
    const int nMinutes = static_cast<int>(nMs / 60000 % 60);
    const int nSeconds = static_cast<int>(nMs / 1000 % 60);
    return QString::asprintf("%2d:%02d:%02d", nHours, nMinutes, nSeconds);
}

QString CPlaylistCtrl::GetFileNameFromPath(const QString &strPath) {
    return CPlaylistText::FileName(strPath);
}

bool CPlaylistCtrl::IsMediaFile(const QString &strPath) {
    const std::optional<MediaKind> kind = KindOf(strPath);
    return kind == MediaKind::Timed || kind == MediaKind::Still;
}

bool CPlaylistCtrl::IsTimedMedia(const QString &strPath) {
    return KindOf(strPath) != MediaKind::Still;
}

bool CPlaylistCtrl::IsPlaylistFile(const QString &strPath) {
    return strPath.contains(QLatin1String(LAST_PLAYLIST_NAME)) ||
           KindOf(strPath) == MediaKind::Playlist;
}
