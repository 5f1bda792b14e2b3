#include "core/CLogBook.h"

#include "core/CLogFile.h"

#include <QDateTime>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
CLogBook *g_pLogBook = nullptr;
CLogFile *g_pLogFile = nullptr;
bool g_bEchoToStderr = false;

bool IsWordChar(char c) {
    return c != '\0' && c != '\n' && c != '\r' && c != ' ';
}

// sd-daemon's prefixes: LOG_ERR and LOG_INFO.
class CJournalSink : public CLogBook::Sink {
public:
    void WriteLine(qint64, int nLevel, const char *pszText) override {
        fprintf(stderr, "<%d>%s\n", nLevel == CLogBook::LEVEL_ERROR ? 3 : 6, pszText);
        fflush(stderr);
    }
};
CJournalSink g_journal;
} // namespace

CLogBook::CLogBook(int nLines, int nWidth)
    : m_nLines(std::max(1, nLines)), m_nWidth(std::clamp(nWidth, 2, MAX_WIDTH)),
      m_pLines(static_cast<size_t>(m_nLines)) {
    for (Line &line : m_pLines) {
        line.text[0] = '\0';
        line.level = LEVEL_EMPTY;
        line.nTimeMs = 0;
    }
}

CLogBook::~CLogBook() {
    // An unfinished last line still belongs in the file.
    const Line &line = m_pLines[m_nHead];
    if (line.text[0])
        for (Sink *pSink : m_sinks)
            pSink->WriteLine(line.nTimeMs, line.level, line.text);
    if (g_pLogBook == this)
        g_pLogBook = nullptr;
}

void CLogBook::AddSink(Sink *pSink) {
    if (pSink && std::find(m_sinks.begin(), m_sinks.end(), pSink) == m_sinks.end())
        m_sinks.push_back(pSink);
}

void CLogBook::RemoveSink(Sink *pSink) {
    m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), pSink), m_sinks.end());
}

const char *CLogBook::LevelWord(int nLevel) {
    switch (nLevel) {
    case LEVEL_INFO:
        return "info ";
    case LEVEL_ERROR:
        return "error";
    default:
        return "note ";
    }
}

QByteArray CLogBook::FormatLine(qint64 nTimeMs, int nLevel, const QByteArray &text,
                                bool bWithDate) {
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(nTimeMs);
    return time.toString(bWithDate ? "yyyy-MM-dd hh:mm:ss.zzz" : "hh:mm:ss.zzz").toLatin1() + ' ' +
           LevelWord(nLevel) + ' ' + text;
}

void CLogBook::NewLine() {
    const Line &finished = m_pLines[m_nHead];
    if (finished.text[0])
        for (Sink *pSink : m_sinks)
            pSink->WriteLine(finished.nTimeMs, finished.level, finished.text);
    m_nHead = (m_nHead + 1) % m_nLines;
    Line &line = m_pLines[m_nHead];
    if (line.text[0])
        ++m_nDropped;
    line.text[0] = '\0';
    line.level = LEVEL_EMPTY;
    line.nTimeMs = 0;
    m_nCurLength = 0;
}

void CLogBook::AddMessage(int nLevel, const char *pszText) {
    const int nCap = LineCapacity();
    const char *const pEnd = pszText + strnlen(pszText, static_cast<size_t>(nCap));
    m_nLevel = nLevel;

    // The current line may still hold the unfinished text of an earlier message.
    m_nCurLength = static_cast<int>(strlen(m_pLines[m_nHead].text));

    const char *p = pszText;
    for (;;) {
        while (p < pEnd && (*p == '\r' || *p == '\n')) {
            if (*p == '\n')
                NewLine();
            ++p;
        }
        if (p >= pEnd)
            break;

        const char *pWord = p;
        while (p < pEnd && p - pWord < nCap && IsWordChar(*p))
            ++p;
        while (p < pEnd && p - pWord < nCap && *p == ' ')
            ++p;
        const int nWordLen = static_cast<int>(p - pWord);

        if (m_nCurLength + (m_nCurLength > 0 ? 1 : 0) + nWordLen > nCap)
            NewLine();
        for (int k = 0; k < nWordLen; ++k) {
            if (m_nCurLength >= nCap)
                NewLine();
            Line &line = m_pLines[m_nHead];
            if (m_nCurLength == 0)
                line.nTimeMs = QDateTime::currentMSecsSinceEpoch();
            line.text[m_nCurLength++] = pWord[k];
            line.text[m_nCurLength] = '\0';
            line.level = m_nLevel;
        }
    }
    m_bChanged = true;
}

const char *CLogBook::GetLineText(int i) const {
    return LineAt(i).text;
}

int CLogBook::GetDisplayLevel(int i) {
    Line &line = LineAt(i);
    if (line.level < LEVEL_EMPTY || line.level > LEVEL_SPARE)
        line.level = LEVEL_EMPTY;
    return line.level;
}

void SetLogBook(CLogBook *pLog) {
    if (g_pLogBook) {
        g_pLogBook->RemoveSink(&g_journal);
        g_pLogBook->RemoveSink(g_pLogFile);
    }
    g_pLogBook = pLog;
    if (g_pLogBook && g_bEchoToStderr)
        g_pLogBook->AddSink(&g_journal);
    if (g_pLogBook && g_pLogFile)
        g_pLogBook->AddSink(g_pLogFile);
}

CLogBook *GetLogBook() {
    return g_pLogBook;
}

void SetLogFile(CLogFile *pFile) {
    if (g_pLogBook && g_pLogFile)
        g_pLogBook->RemoveSink(g_pLogFile);
    g_pLogFile = pFile;
    if (g_pLogBook && g_pLogFile)
        g_pLogBook->AddSink(g_pLogFile);
}

CLogFile *GetLogFile() {
    return g_pLogFile;
}

void SetLogEcho(bool bToStderr) {
    g_bEchoToStderr = bToStderr;
    if (!g_pLogBook)
        return;
    if (bToStderr)
        g_pLogBook->AddSink(&g_journal);
    else
        g_pLogBook->RemoveSink(&g_journal);
}

static void WriteLog(int nLevel, const char *pszFormat, va_list args) {
    if (!g_pLogBook)
        return;
    char szText[CLogBook::MAX_WIDTH];
    vsnprintf(szText, sizeof szText, pszFormat, args);
    g_pLogBook->AddMessage(nLevel, szText);
}

void LogMsg(const char *pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    WriteLog(CLogBook::LEVEL_INFO, pszFormat, args);
    va_end(args);
}

void LogError(const char *pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    WriteLog(CLogBook::LEVEL_ERROR, pszFormat, args);
    va_end(args);
}

QByteArray LogSafe(const QString &strText, int nMaxChars) {
    QString strSafe;
    strSafe.reserve(std::min<qsizetype>(strText.size(), nMaxChars) + 8);
    int nChars = 0;
    for (const QChar c : strText) {
        if (nChars++ >= nMaxChars) {
            strSafe += QLatin1String("...");
            break;
        }
        const char16_t u = c.unicode();
        if (u == '\\')
            strSafe += QLatin1String("\\\\");
        else if (u == '\n')
            strSafe += QLatin1String("\\n");
        else if (u == '\r')
            strSafe += QLatin1String("\\r");
        else if (u == '\t')
            strSafe += QLatin1String("\\t");
        // C0 and C1 controls, DEL, and the Unicode line and paragraph separators.
        else if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            strSafe += QString::asprintf("\\x%02X", unsigned(u));
        else if (u == 0x2028 || u == 0x2029)
            strSafe += QString::asprintf("\\u%04X", unsigned(u));
        else
            strSafe += c;
    }
    return strSafe.toUtf8();
}
