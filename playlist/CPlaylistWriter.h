// Writes a playlist file, extended M3U or PLS, one entry at a time. The file is built under a
// temporary name and only renamed over the target when every line was written, so a crash
// or a full disk never leaves a half-written playlist in place of the previous one; only in
// a folder where no temporary file can be made is the target written in place.
#pragma once

#include <QSaveFile>
#include <QString>

class CPlaylistWriter {
public:
    enum Format { FORMAT_M3U = 0, FORMAT_PLS = 1 };

    CPlaylistWriter() = default;
    ~CPlaylistWriter();

    // Values other than the two formats are ignored. Set before BeginFile.
    void SetFormat(int nFormat);
    int GetFormat() const { return m_nFormat; }

    // Starts the file and writes the header; false (with GetError) when the file cannot be
    // created, and every later call then writes nothing.
    bool BeginFile(const QString &strPath);
    // An empty path is skipped and not counted. The title line is written only when the
    // entry has a title and a length of at least one second.
    void WriteEntry(const QString &strPath, const QString &strTitle, const QString &strLength);
    // Writes the PLS trailer and puts the file in place; false when anything failed, in
    // which case the previous file at that path is untouched.
    bool EndFile();

    int GetEntryCount() const { return m_nEntries; }
    // After BeginFile or EndFile failed: what to tell the operator (the first failure of the
    // file; the logbook has it too).
    const QString &GetError() const { return m_strError; }

    // True when nothing stands under the name yet or a regular file does (also through a
    // link): only then does BeginFile write there.
    static bool CanReplace(const QString &strPath);

    // "h:mm:ss[.fff]" (hours and minutes optional) to milliseconds; -1 without any ":".
    static int ParseLength(const QString &strLength);

private:
    void Write(const QByteArray &line, const char *pszOperation);
    void ReportError(const char *pszOperation, const char *pszWhat,
                     const QString &strReason = QString());

    QString m_strError;
    int m_nFormat = FORMAT_M3U;
    int m_nEntries = 0;
    bool m_bOpened = false;
    bool m_bFailed = false;
    QSaveFile m_file;
};
