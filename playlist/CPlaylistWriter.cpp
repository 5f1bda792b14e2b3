#include "playlist/CPlaylistWriter.h"

#include "core/CLogBook.h"
#include "core/CRegularFile.h"
#include "playlist/CPlaylistText.h"

#include <QByteArray>
#include <algorithm>
#include <climits>

namespace {
// Lines end CR LF in every playlist file the program writes.
const QByteArray kEol = QByteArrayLiteral("\r\n");

// A line break inside a title would split the entry into two lines of the file.
QByteArray OneLine(const QString &str) {
    QByteArray bytes = CPlaylistText::ToFile(str);
    bytes.replace('\r', ' ');
    bytes.replace('\n', ' ');
    return bytes;
}
} // namespace

CPlaylistWriter::~CPlaylistWriter() {
    // Never finished: the previous file stays as it was.
    if (m_bOpened)
        m_file.cancelWriting();
}

void CPlaylistWriter::SetFormat(int nFormat) {
    if (nFormat == FORMAT_M3U || nFormat == FORMAT_PLS)
        m_nFormat = nFormat;
}

bool CPlaylistWriter::BeginFile(const QString &strPath) {
    if (m_bOpened)
        m_file.cancelWriting();
    m_nEntries = 0;
    m_bFailed = false;
    m_bOpened = false;
    m_strError.clear();
    m_file.setFileName(strPath);
    // Saving would follow a link to a device or replace it: only plain files are written.
    if (!CanReplace(strPath)) {
        ReportError("BeginFile", "create", QStringLiteral("Not a regular file"));
        return false;
    }
    // A folder that takes no new files may still hold a writable playlist: that one is
    // written in place, every other one atomically.
    m_file.setDirectWriteFallback(true);
    if (!m_file.open(QIODevice::WriteOnly)) {
        ReportError("BeginFile", "create");
        return false;
    }
    m_bOpened = true;
    Write(m_nFormat == FORMAT_PLS ? QByteArrayLiteral("[playlist]") : QByteArrayLiteral("#EXTM3U"),
          "BeginFile");
    return true;
}

void CPlaylistWriter::WriteEntry(const QString &strPath, const QString &strTitle,
                                 const QString &strLength) {
    if (!m_bOpened || strPath.isEmpty())
        return;
    const QByteArray path = CPlaylistText::ToFile(strPath);
    if (path.contains('\n') || path.contains('\r')) {
        // Such a name cannot be told apart from two entries when the file is read again.
        LogMsg("CPlaylistWriter::WriteEntry(): Path with a line break skipped!\n");
        return;
    }
    ++m_nEntries;
    const int nSeconds = ParseLength(strLength) / 1000;
    const bool bTitleLine = !strTitle.isEmpty() && !strLength.isEmpty() && nSeconds != 0;

    if (m_nFormat == FORMAT_M3U) {
        if (bTitleLine)
            Write("#EXTINF:" + QByteArray::number(nSeconds) + ',' + OneLine(strTitle),
                  "WriteEntry");
        Write(path, "WriteEntry");
    } else {
        const QByteArray n = QByteArray::number(m_nEntries);
        Write("File" + n + '=' + path, "WriteEntry");
        if (bTitleLine) {
            Write("Title" + n + '=' + OneLine(strTitle), "WriteEntry");
            Write("Length" + n + '=' + QByteArray::number(nSeconds), "WriteEntry");
        }
    }
}

bool CPlaylistWriter::EndFile() {
    if (!m_bOpened)
        return false;
    if (m_nFormat == FORMAT_PLS) {
        Write("NumberOfEntries=" + QByteArray::number(m_nEntries), "EndFile");
        Write("Version=2", "EndFile");
    }
    m_bOpened = false;
    if (m_bFailed) {
        m_file.cancelWriting();
        return false;
    }
    if (!m_file.commit()) {
        ReportError("EndFile", "write");
        return false;
    }
    return true;
}

void CPlaylistWriter::Write(const QByteArray &line, const char *pszOperation) {
    if (m_bFailed)
        return; // one message per file: a full disk would otherwise ask once per line
    if (m_file.write(line + kEol) != line.size() + kEol.size())
        ReportError(pszOperation, "write");
}

bool CPlaylistWriter::CanReplace(const QString &strPath) {
    return CRegularFile::CanReplace(CPlaylistText::ToFile(strPath));
}

void CPlaylistWriter::ReportError(const char *pszOperation, const char *pszWhat,
                                  const QString &strReason) {
    m_bFailed = true;
    const QString strError = strReason.isEmpty() ? m_file.errorString() : strReason;
    LogMsg("CPlaylistWriter::%s(): Cannot %s %s: %s\n", pszOperation, pszWhat,
           CPlaylistText::ToFile(m_file.fileName()).constData(),
           strError.toLocal8Bit().constData());
    m_strError = QStringLiteral("Cannot %1 the playlist file \"%2\":\n%3.")
                     .arg(QLatin1String(pszWhat), m_file.fileName(), strError);
}

int CPlaylistWriter::ParseLength(const QString &strLength) {
    const QByteArray text = strLength.toLatin1();
    if (!text.contains(':'))
        return -1;

    long long numbers[3] = {0, 0, 0};
    int nCount = 0;
    qsizetype nPos = 0;
    for (;;) {
        numbers[nCount++] = CPlaylistText::ParseInt(text.constData() + nPos);
        if (nCount == 3)
            break;
        const qsizetype nColon = text.indexOf(':', nPos);
        if (nColon < 0)
            break;
        nPos = nColon + 1;
    }
    const long long nSeconds = numbers[nCount - 1];
    const long long nMinutes = nCount >= 2 ? numbers[nCount - 2] : 0;
    const long long nHours = nCount >= 3 ? numbers[nCount - 3] : 0;

    qsizetype nFraction = text.indexOf('.');
    if (nFraction < 0)
        nFraction = text.indexOf(',');
    long long nMs = 0;
    if (nFraction >= 0) {
        static const int kWeights[3] = {100, 10, 1};
        for (int i = 0; i < 3; ++i) {
            const qsizetype k = nFraction + 1 + i;
            if (k >= text.size() || text.at(k) < '0' || text.at(k) > '9')
                break;
            nMs += (text.at(k) - '0') * kWeights[i];
        }
    }
    // Saturating arithmetic: the parts may be any size in a hand-edited file.
    const auto clampMul = [](long long a, long long b) {
        const long long kMax = LLONG_MAX / 4;
        if (a != 0 && std::llabs(a) > kMax / b)
            return a < 0 ? -kMax : kMax;
        return a * b;
    };
    const long long nTotal =
        clampMul(nHours, 3600000) + clampMul(nMinutes, 60000) + clampMul(nSeconds, 1000) + nMs;
    return static_cast<int>(std::clamp<long long>(nTotal, INT_MIN, INT_MAX));
}
