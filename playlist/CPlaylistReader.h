// Reads M3U (plain and extended) and PLS playlist files into a list of items. Knows nothing
// of the playlist itself, so it can be used and tested alone.
#pragma once

#include "playlist/CPlaylistItem.h"

#include <QByteArray>
#include <QString>
#include <vector>

class CPlaylistReader {
public:
    enum Format { FORMAT_NONE = -1, FORMAT_M3U = 0, FORMAT_PLS = 1 };
    // Larger files are no playlists: they are refused instead of read into memory.
    static constexpr qint64 MAX_FILE_SIZE = qint64(64) << 20;

    // Picks the format by the file name's ending (".m3u" and ".dat" are M3U, ".pls" PLS;
    // any other ending keeps the format of the previous load) and reads every item.
    // A file that cannot be opened fails silently; a read error is reported. Only regular
    // files (also through links) of at most MAX_FILE_SIZE bytes are read; anything else is
    // refused with a log line, and a pipe never makes it wait.
    bool Load(const QString &strPath);
    // After a failed Load: what to tell the operator about a read error, else "".
    const QString &GetError() const { return m_strError; }
    void Clear() { m_items.clear(); }

    int GetFormat() const { return m_nFormat; }
    const std::vector<CPlaylistItem> &GetItems() const { return m_items; }

private:
    void ReadM3U(const QByteArray &data);
    void ReadPLS(const QByteArray &data);

    QString m_strError;
    int m_nFormat = FORMAT_NONE;
    std::vector<CPlaylistItem> m_items;
};
