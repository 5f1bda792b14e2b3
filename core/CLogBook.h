// The program's diagnostic log: a fixed ring of text lines, each with its time and level, that
// the logbook window shows. Every finished line also goes to the sinks set (the logbook file,
// stderr). Written and read on the UI thread only.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

class CLogBook {
public:
    enum Level { LEVEL_EMPTY = 0, LEVEL_INFO = 1, LEVEL_ERROR = 2, LEVEL_SPARE = 3 };
    static constexpr int MAX_WIDTH = 256;

    // Where a finished line goes besides the ring.
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void WriteLine(qint64 nTimeMs, int nLevel, const char *pszText) = 0;
    };

    CLogBook(int nLines, int nWidth);
    ~CLogBook();

    // Writes text literally (no format characters are interpreted) at the given level.
    void AddMessage(int nLevel, const char *pszText);

    int GetLineCount() const { return m_nLines; }
    // Line i in reading order: 0 is the line being written, then the oldest through the newest.
    const char *GetLineText(int i) const;
    // The level a display uses; a stored level above 3 is reset to 0 on the way.
    int GetDisplayLevel(int i);

    // When line i got its first character (ms since the epoch); 0 for an empty line.
    qint64 GetLineTime(int i) const { return LineAt(i).nTimeMs; }
    // Lines with text that the ring has overwritten since it was made.
    qint64 GetDroppedLines() const { return m_nDropped; }

    bool IsChanged() const { return m_bChanged; }
    void ClearChanged() { m_bChanged = false; }

    // Up to two sinks (the file, stderr); nullptr takes one away. The line being written goes
    // out when it is finished, or when the log goes.
    void AddSink(Sink *pSink);
    void RemoveSink(Sink *pSink);

    // How a line stands in the window (bWithDate false) and in the file: local time with
    // milliseconds, the level's word, the text as written.
    static QByteArray FormatLine(qint64 nTimeMs, int nLevel, const QByteArray &text,
                                 bool bWithDate);
    static const char *LevelWord(int nLevel);

private:
    struct Line {
        char text[MAX_WIDTH];
        int level;
        qint64 nTimeMs;
    };

    Line &LineAt(int i) { return m_pLines[(m_nHead + i) % m_nLines]; }
    const Line &LineAt(int i) const { return m_pLines[(m_nHead + i) % m_nLines]; }
    void NewLine();
    int LineCapacity() const { return m_nWidth - 1; }

    int m_nLines;
    int m_nWidth;
    bool m_bChanged = true;
    int m_nHead = 0;
    std::vector<Line> m_pLines;
    int m_nLevel = 0;
    int m_nCurLength = 0;
    qint64 m_nDropped = 0;
    std::vector<Sink *> m_sinks;
};

// The one log that LogMsg and LogError write to; without it they do nothing.
void SetLogBook(CLogBook *pLog);
CLogBook *GetLogBook();
// Every line written from now on also goes to stderr, one line each with the syslog priority
// in front ("<6>" information, "<3>" error) as journald reads it (a run without a window, or a
// service whose stderr is the journal).
void SetLogEcho(bool bToStderr);

class CLogFile;
// The logbook's file, which the window reads back from; nullptr: none. It is a sink of the log
// set, and SetLogFile adds it to the log of SetLogBook.
void SetLogFile(CLogFile *pFile);
CLogFile *GetLogFile();

// printf-style writers: information (level 1) and error (level 2).
void LogMsg(const char *pszFormat, ...) __attribute__((format(printf, 1, 2)));
void LogError(const char *pszFormat, ...) __attribute__((format(printf, 1, 2)));

// A text that came from outside (a page, a bus client, a peer's header) as it may stand inside a
// log line: no such text can end the line and fake the next one. Control characters become \n,
// \r, \t or \xHH, the Unicode line separators \uHHHH, a backslash is doubled; after nMaxChars
// characters "..." ends it. UTF-8, for a "%s".
QByteArray LogSafe(const QString &strText, int nMaxChars = 120);
