// The program's diagnostic log: a fixed ring of text lines, each with a level, that the
// logbook window shows. Nothing is ever written to a file.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

class CLogBook {
public:
    enum Level { LEVEL_EMPTY = 0, LEVEL_INFO = 1, LEVEL_ERROR = 2, LEVEL_SPARE = 3 };
    static constexpr int MAX_WIDTH = 256;

    CLogBook(int nLines, int nWidth);

    // Writes text literally (no format characters are interpreted) at the given level.
    void AddMessage(int nLevel, const char *pszText);

    int GetLineCount() const { return m_nLines; }
    // Line i in reading order: 0 is the line being written, then the oldest through the newest.
    const char *GetLineText(int i) const;
    // The level a display uses; a stored level above 3 is reset to 0 on the way.
    int GetDisplayLevel(int i);

    bool IsChanged() const { return m_bChanged; }
    void ClearChanged() { m_bChanged = false; }

private:
    struct Line {
        char text[MAX_WIDTH];
        int level;
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
};

// The one log that LogMsg and LogError write to; without it they do nothing.
void SetLogBook(CLogBook *pLog);
CLogBook *GetLogBook();
// Every line written from now on also goes to stderr as it is (a run without a window).
void SetLogEcho(bool bToStderr);

// printf-style writers: information (level 1) and error (level 2).
void LogMsg(const char *pszFormat, ...) __attribute__((format(printf, 1, 2)));
void LogError(const char *pszFormat, ...) __attribute__((format(printf, 1, 2)));

// A text that came from outside (a page, a bus client, a peer's header) as it may stand inside a
// log line: no such text can end the line and fake the next one. Control characters become \n,
// \r, \t or \xHH, the Unicode line separators \uHHHH, a backslash is doubled; after nMaxChars
// characters "..." ends it. UTF-8, for a "%s".
QByteArray LogSafe(const QString &strText, int nMaxChars = 120);
