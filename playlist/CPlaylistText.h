// Byte-level text helpers shared by the playlist readers, the writer and the model: the
// C library's lenient number reading, ASCII-only case folding and the file-name parts of a path.
#pragma once

#include <QByteArray>
#include <QString>

class CPlaylistText {
public:
    // The decimal number at the start of the text, after optional blanks and a sign; 0 when
    // there is none. Saturates instead of overflowing, so hostile files cannot cause UB.
    static long long ParseInt(const char *psz);
    static long long ParseInt(const QByteArray &text) { return ParseInt(text.constData()); }

    // Only ASCII letters change case; other bytes are left as they are.
    static QByteArray ToUpperAscii(QByteArray text);
    static QByteArray ToLowerAscii(QByteArray text);

    // What follows the last "/" (the whole path when there is none).
    static QString FileName(const QString &strPath);
    // From the last dot of the file name on, dot included; empty when the name has no dot.
    static QString Extension(const QString &strPath);
    // The folder part of a path including its final "/", or empty for a bare file name.
    static QString Folder(const QString &strPath);

    // Playlist files hold paths and titles as bytes in the system's encoding.
    static QString FromFile(const QByteArray &bytes);
    static QByteArray ToFile(const QString &str);
    // Orders names by their bytes on disk, case-sensitive: the same order every time,
    // whatever order the directory or the desktop handed them over in.
    static bool ByteOrder(const QString &a, const QString &b);
};
