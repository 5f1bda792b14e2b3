// The logbook's file, tessaro.log next to the settings: every finished line of the log with its
// date, time and level, rotated at a size limit into tessaro.log.1 .. .N (the oldest goes), and
// read back from its end for a logbook window opened after the ring has lost lines.
// UI thread only, as the log is.
#pragma once

#include "core/CLogBook.h"

#include <QString>
#include <vector>

class CLogFile : public CLogBook::Sink {
public:
    static constexpr qint64 DEFAULT_LIMIT = qint64(1) << 20;
    static constexpr int DEFAULT_KEPT = 5;

    // Nothing is opened yet: Open does.
    explicit CLogFile(const QString &strPath, qint64 nLimit = DEFAULT_LIMIT,
                      int nKept = DEFAULT_KEPT);
    ~CLogFile() override;

    // Opens (or makes, owner-only) the file for appending; never through a link or onto what
    // is not a regular file. False with *pstrReason set otherwise.
    bool Open(QString *pstrReason);
    const QString &GetPath() const { return m_strPath; }

    void WriteLine(qint64 nTimeMs, int nLevel, const char *pszText) override;

    struct Line {
        qint64 nTimeMs = 0;
        int nLevel = CLogBook::LEVEL_INFO;
        QByteArray text;
    };
    // The file's lines (the newest rotated file's before them where needed) that come before
    // its last nSkip lines, at most nMax of them, oldest first. Reads no more than the last
    // 2 * limit bytes.
    std::vector<Line> ReadTail(int nSkip, int nMax) const;

    // The folder's path of the file in that settings folder.
    static QString PathFor(const QString &strSettingsFile);

private:
    void Rotate();
    QString Rotated(int n) const { return m_strPath + '.' + QString::number(n); }

    QString m_strPath;
    qint64 m_nLimit;
    int m_nKept;
    int m_fd = -1;
    qint64 m_nSize = 0;
};
