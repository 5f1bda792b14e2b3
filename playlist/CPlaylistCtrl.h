// The playlist: the media entries in play order, the current track, the three play modes,
// loading and saving playlist files and importing files and folders. A plain model that
// knows nothing of how it is drawn: a list view observes it through its signals and reads
// its rows (four text columns, an icon and item data per row). Selection, focus and the
// questions to the operator belong to the view; the model is told rows by their ids and
// files by their paths, and reports a failed file as text for whoever asked. UI thread only.
#pragma once

#include "playback/CMediaProbe.h"
#include "playlist/CPlaylistEntry.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class CGeneralSettings;
class CProfile;
class CRecentFileList;

class CPlaylistCtrl : public QObject {
    Q_OBJECT
public:
    enum Icon { ICON_PLAYER_A = 0, ICON_PLAYER_B = 1, ICON_NONE = 2 };
    enum Column { COL_PLAYER = 0, COL_NR = 1, COL_NAME = 2, COL_TIME = 3, COLUMN_COUNT = 4 };

    static constexpr const char *LAST_PLAYLIST_NAME = "LastPLS.dat";

    // strStartDir is the working directory captured at program start; "LastPLS.dat" lives
    // there. pLengthProbe reads a new file's title and length (may be null: files are then
    // added under their file name without a length).
    CPlaylistCtrl(const QString &strStartDir, CProfile &profile, CGeneralSettings &settings,
                  CRecentFileList &recentFiles, std::unique_ptr<CMediaProbe> pLengthProbe,
                  QObject *pParent = nullptr);
    ~CPlaylistCtrl() override;

    // Called by the panel once its list is set up; before that almost every operation
    // does nothing. The panel runs LoadSettings right after.
    void Initialize() { m_bInitialized = true; }
    bool IsInitialized() const { return m_bInitialized; }
    const QString &GetStartDir() const { return m_strStartDir; }
    QString GetLastPlaylistPath() const;

    // --- tracks and modes
    int GetTrackCount() const;
    int GetCurTrack() const;
    void SetCurTrack(int nRow) { m_CurTrack = nRow; }
    bool GetAutoSkipTrack() const { return m_AutoSkipTrack; }
    void SetAutoSkipTrack(bool bAutoSkip) { m_AutoSkipTrack = bAutoSkip; }
    bool GetLoopList() const { return m_LoopList; }
    void SetLoopList(bool bLoop) { m_LoopList = bLoop; }
    bool GetLoopSingleTrack() const { return m_bLoopSingleTrack; }
    void SetLoopSingleTrack(bool bLoop) { m_bLoopSingleTrack = bLoop; }
    QString GetCurTrackPath() const;
    QString GetTrackPath(int nRow) const;
    int GetPlayListIndx(const QString &strPath) const;
    void NextTrack();
    void PrevTrack();
    // The file NextTrack would load now ("" when it would load none), without moving.
    QString PeekNextTrackPath() const;
    void SetPlayerEntry(const QString &strPath, int nPlayer, const QString &strTitle,
                        int nLengthMs);
    void SelectPlayerEntry(int nPlayer);

    // --- adding
    void AddEntry(const QString &strPath, int nRow, const QString &strTitle,
                  const QString &strLength);
    void AddFolder(const QString &strFolder, int nRow);
    // bShowErrors false: a file that cannot be read is named in the logbook only, for a
    // caller other than the operator; true: fileError carries the text to show as well.
    void AddPlayList(const QString &strPath, int nRow, bool bShowErrors = true);
    // Returns the path opened, or "" (also for an empty path).
    QString OpenPlaylist(const QString &strPath, bool bShowErrors = true);
    // bFormatByExtension false writes M3U whatever the name; true picks M3U or PLS by the
    // name's ending and writes nothing for any other ending (a name the operator chose).
    // A file that cannot be written is reported through fileError.
    void SavePlaylist(const QString &strPath, bool bFormatByExtension = false);
    // False, with a log line, when saving under this path would write nothing because the
    // list is empty (the program's own last playlist is written empty too).
    bool CanSave(const QString &strPath) const;
    // Files dropped from the desktop onto the row nDropRow (-1: below the rows).
    void OnDropFiles(const QStringList &names, int nDropRow);

    // --- deleting, by entry id (ids without a row are passed over)
    void RemoveEntries(const QSet<int> &ids);
    // Removes every row but these; nothing when none of them is in the list.
    void KeepOnlyEntries(const QSet<int> &ids);
    void ClearPlaylist();

    // --- ordering
    void SortByTitle();
    void SortByFileName();
    void SortByPath();
    // False when nothing moved (a row or target outside the list, or the same row).
    bool MoveEntry(int nFrom, int nTo, bool bDeleteSource);
    // Moves the rows of these ids (in row order) to nDropRow, last one first, and brings the
    // current track back to the marked entry. Returns the ids that moved.
    QSet<int> MoveEntries(const std::vector<int> &ids, int nDropRow);
    void Renumber();
    void RefreshPlayerIcons();

    // --- start-up and shut-down
    void LoadSettings();
    // Call at shut-down, before the objects given to the constructor go away. Does nothing
    // when the list was never initialised, so a failed start cannot wipe the last playlist.
    void SaveSettings();

    // --- the rows, as a view reads them
    int GetItemCount() const { return static_cast<int>(m_rows.size()); }
    int GetItemData(int nRow) const; // the entry id, or 0 outside the rows
    QString GetItemText(int nRow, int nColumn) const;
    int GetItemImage(int nRow) const;
    // The record of a row, or null.
    const CPlaylistEntry *GetRowEntry(int nRow) const;

    // The marked entry is the one the current track was last set to.
    int GetMarkedID() const { return m_nMarkedID; }
    void SetMarkedItem(int nRow);

    int FindRowByID(int nID) const;
    int FindEntryByID(int nID) const;
    int FindIDByPath(const QString &strPath) const;
    // The records in the order they were added.
    const std::vector<std::unique_ptr<CPlaylistEntry>> &GetEntries() const { return m_Entries; }
    int GetPlayerEntryID(int nPlayer) const;
    int GetNextID() const { return m_nNextID; }

    // --- helpers shared with the rest of the program
    static QString FormatLength(qint64 nMs);
    static QString GetFileNameFromPath(const QString &strPath);
    static bool IsMediaFile(const QString &strPath);
    static bool IsTimedMedia(const QString &strPath);
    static bool IsPlaylistFile(const QString &strPath);
    // Every file a folder import adds, in the order it adds them: names in byte order,
    // subfolders searched where they stand, each real folder once (visited keeps track).
    static QStringList CollectFolderFiles(const QString &strFolder, QSet<QString> &visited);

signals:
    // Rows were inserted or removed; the numbers of the rows after them changed too.
    void rowsInserted(int nFirst, int nCount);
    void rowsRemoved(int nFirst, int nCount);
    // Texts or icons of these rows changed.
    void rowsChanged(int nFirst, int nLast);
    // Anything may have changed (sorting, moving, bulk edits): read every row again.
    void rowsReset();
    void markedChanged(int nMarkedID);
    // A playlist file could not be read or written; the text is what to show the operator
    // (the logbook has the details already). Only for operations that asked for it.
    void fileError(const QString &strMessage);
    // A playlist file was opened: show its file name as the document title.
    void playlistOpened(const QString &strPath);
    // The current entry moved (a step) or was restored at start: whoever plays the show opens
    // it in the active player (bPlay: and plays it).
    void entryRequested(bool bPlay);

private:
    // The row NextTrack moves to and loads; -1 when it loads none.
    int NextTrackRow() const;
    struct Row {
        int nID;
        int nImage;
        QString strName;
        QString strTime;
    };
    class CUpdateLock;
    friend class CUpdateLock;

    void InsertRow(int nPos, Row row);
    void EraseRow(int nPos);
    void SetRowImage(int nRow, int nImage);
    void RemoveRecord(int nID);
    // Deletes every row whose flag is set, with its record, in one pass.
    void DeleteRows(const std::vector<bool> &doomed);
    void CheckMarked();
    template <class KeyOf> void SortRows(KeyOf keyOf);
    void AddFolder(const QString &strFolder, int nRow, QSet<QString> &visited);
    void Insert(const QString &strPath, int nRow, const QString &strTitle,
                const QString &strLength);

    void NotifyInserted(int nFirst, int nCount);
    void NotifyRemoved(int nFirst, int nCount);
    void NotifyChanged(int nFirst, int nLast);
    void NotifyReset();

    QString m_strStartDir;
    CProfile &m_profile;
    CGeneralSettings &m_settings;
    CRecentFileList &m_recentFiles;
    std::unique_ptr<CMediaProbe> m_pLengthProbe;

    std::vector<std::unique_ptr<CPlaylistEntry>> m_Entries; // ids ascend: added in id order
    std::vector<Row> m_rows;
    int m_CurTrack = -1;
    bool m_AutoSkipTrack = true;
    bool m_LoopList = false;
    bool m_bLoopSingleTrack = false;
    int m_nNextID = 1;
    int m_nPlayerEntryID[2] = {0, 0};
    bool m_bInitialized = false;
    int m_nMarkedID = -1;

    // Look-up tables, rebuilt on demand after an edit that shifts rows or drops records, so
    // that appending stays constant time however long the list is.
    mutable QHash<int, int> m_rowByID;
    mutable bool m_bRowIndexValid = true;
    mutable QHash<QString, int> m_firstIDByPath;
    mutable bool m_bPathIndexValid = true;
    // Ids of the rows that show a player icon; the icon refresh only visits these.
    std::vector<int> m_iconIDs;

    int m_nUpdateLock = 0;
    bool m_bResetPending = false;
    bool m_bIconsPending = false;
};
