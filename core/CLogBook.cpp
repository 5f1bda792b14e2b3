#include "core/CLogBook.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
CLogBook *g_pLogBook = nullptr;
bool g_bEchoToStderr = false;

bool IsWordChar(char c) {
    return c != '\0' && c != '\n' && c != '\r' && c != ' ';
}
} // namespace

CLogBook::CLogBook(int nLines, int nWidth)
    : m_nLines(std::max(1, nLines)), m_nWidth(std::clamp(nWidth, 2, MAX_WIDTH)),
      m_pLines(static_cast<size_t>(m_nLines)) {
    for (Line &line : m_pLines) {
        line.text[0] = '\0';
        line.level = LEVEL_EMPTY;
    }
}

void CLogBook::NewLine() {
    m_nHead = (m_nHead + 1) % m_nLines;
    Line &line = m_pLines[m_nHead];
    line.text[0] = '\0';
    line.level = LEVEL_EMPTY;
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
    g_pLogBook = pLog;
}

CLogBook *GetLogBook() {
    return g_pLogBook;
}

void SetLogEcho(bool bToStderr) {
    g_bEchoToStderr = bToStderr;
}

static void WriteLog(int nLevel, const char *pszFormat, va_list args) {
    if (!g_pLogBook)
        return;
    char szText[CLogBook::MAX_WIDTH];
    vsnprintf(szText, sizeof szText, pszFormat, args);
    g_pLogBook->AddMessage(nLevel, szText);
    if (g_bEchoToStderr)
        fputs(szText, stderr);
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
