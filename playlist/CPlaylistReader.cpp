#include "playlist/CPlaylistReader.h"

#include "core/CLogBook.h"
#include "core/CRegularFile.h"
#include "playlist/CPlaylistText.h"

#include <QFile>
#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <unistd.h>

namespace {

// Walks the lines of a text file: LF or CR LF end a line and are not part of it; a last line
// without an end still counts, an end at the very end of the file starts no further line.
class CLineCursor {
public:
    explicit CLineCursor(const QByteArray &data) : m_data(data) {}

    bool Next(QByteArray &line) {
        if (m_nPos >= m_data.size())
            return false;
        qsizetype nEnd = m_data.indexOf('\n', m_nPos);
        const qsizetype nNext = nEnd < 0 ? m_data.size() : nEnd + 1;
        if (nEnd < 0)
            nEnd = m_data.size();
        else if (nEnd > m_nPos && m_data.at(nEnd - 1) == '\r')
            --nEnd;
        line = m_data.mid(m_nPos, nEnd - m_nPos);
        m_nPos = nNext;
        return true;
    }

private:
    const QByteArray &m_data;
    qsizetype m_nPos = 0;
};

// Splits like strtok: runs of separators count as one, leading ones are skipped, so empty
// tokens never appear.
std::vector<QByteArray> Tokens(const QByteArray &line, const char *pszSeparators, size_t nWanted) {
    std::vector<QByteArray> tokens;
    const auto isSep = [pszSeparators](char c) { return c != '\0' && strchr(pszSeparators, c); };
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && tokens.size() < nWanted) {
        while (i < n && isSep(line.at(i)))
            ++i;
        if (i >= n)
            break;
        const qsizetype nStart = i;
        while (i < n && !isSep(line.at(i)))
            ++i;
        tokens.push_back(line.mid(nStart, i - nStart));
    }
    return tokens;
}

bool OnlySpaces(const QByteArray &text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

int ClampLength(long long nSeconds) {
    return static_cast<int>(std::clamp<long long>(nSeconds, 0, INT_MAX));
}

} // namespace

bool CPlaylistReader::Load(const QString &strPath) {
    m_strError.clear();
    // A pipe under the name cannot block the caller, and only a regular file of a size a
    // playlist can have is read.
    const QByteArray name = CPlaylistText::ToFile(strPath);
    const auto tooLarge = [&name] {
        LogMsg("CPlaylistReader::Load(): File larger than %d MB, not read: %s\n",
               int(MAX_FILE_SIZE >> 20), name.constData());
        return false;
    };
    int fd = -1;
    qint64 nSize = 0;
    switch (CRegularFile::OpenForReading(name, MAX_FILE_SIZE, &fd, &nSize)) {
    case CRegularFile::OPENED:
        break;
    case CRegularFile::CANNOT_OPEN:
        return false;
    case CRegularFile::NOT_REGULAR:
        LogMsg("CPlaylistReader::Load(): Not a regular file, not read: %s\n", name.constData());
        return false;
    case CRegularFile::TOO_LARGE:
        return tooLarge();
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }

    const QString strLower = strPath.toLower();
    if (strLower.endsWith(QLatin1String(".m3u")) || strLower.endsWith(QLatin1String(".dat")))
        m_nFormat = FORMAT_M3U;
    else if (strLower.endsWith(QLatin1String(".pls")))
        m_nFormat = FORMAT_PLS;

    m_items.clear();
    if (m_nFormat != FORMAT_M3U && m_nFormat != FORMAT_PLS)
        return false;

    // Read in blocks and counted, so a file that grows while it is read stops at the limit too.
    QByteArray data;
    data.reserve(qsizetype(nSize));
    char block[65536];
    qint64 nRead = 0;
    while ((nRead = file.read(block, sizeof block)) > 0) {
        if (data.size() + nRead > MAX_FILE_SIZE)
            return tooLarge();
        data.append(block, qsizetype(nRead));
    }
    if (nRead < 0 || file.error() != QFileDevice::NoError) {
        m_strError = QStringLiteral("Cannot read the playlist file \"%1\":\n%2.")
                         .arg(strPath, file.errorString());
        LogMsg("CPlaylistReader::Load(): Read error: %s\n",
               file.errorString().toLocal8Bit().constData());
        return false;
    }

    if (m_nFormat == FORMAT_M3U)
        ReadM3U(data);
    else
        ReadPLS(data);
    return true;
}

void CPlaylistReader::ReadM3U(const QByteArray &data) {
    CLineCursor lines(data);
    QByteArray line;
    while (lines.Next(line)) {
        // Every marker holds a "#" and neither spaces nor lower case, so a line without "#"
        // is a path, and the others are told apart on their upper-cased text.
        if (OnlySpaces(line))
            continue;
        if (line.contains('#')) {
            const QByteArray upper = CPlaylistText::ToUpperAscii(line);
            if (upper.contains("#EXTM3U") || !upper.contains("#EXTINF"))
                continue; // the header, comments, other directives, paths with "#"
            // The line after the directive is the path whatever it looks like.
            QByteArray pathLine;
            if (!lines.Next(pathLine))
                break;
            const std::vector<QByteArray> tokens = Tokens(line, ":,", 3);
            CPlaylistItem item;
            if (tokens.size() > 1)
                item.m_nLength = ClampLength(CPlaylistText::ParseInt(tokens[1]));
            if (tokens.size() > 2)
                item.m_strTitle = CPlaylistText::FromFile(tokens[2]);
            item.m_strPath = CPlaylistText::FromFile(pathLine);
            m_items.push_back(std::move(item));
            continue;
        }
        CPlaylistItem item;
        item.m_strPath = CPlaylistText::FromFile(line);
        m_items.push_back(std::move(item));
    }
}

void CPlaylistReader::ReadPLS(const QByteArray &data) {
    // Slots are keyed by their number instead of kept in an array indexed by it, so a line
    // such as "File2000000000=x" costs one slot, not gigabytes.
    struct PlsSlot {
        QByteArray path;
        QByteArray title;
        int nLength = 0;
    };
    std::map<long long, PlsSlot> numbered;

    const auto slotNumber = [](const QByteArray &key, const char *pszWord) {
        QByteArray rest = key;
        rest.replace(pszWord, "");
        return CPlaylistText::ParseInt(rest);
    };

    CLineCursor lines(data);
    QByteArray line;
    while (lines.Next(line)) {
        if (line.isEmpty())
            continue;
        const std::vector<QByteArray> tokens = Tokens(line, "=", 2);
        if (tokens.size() < 2)
            continue;
        const QByteArray key = CPlaylistText::ToUpperAscii(tokens[0]);
        const QByteArray &value = tokens[1];
        if (key.startsWith("FILE")) {
            const long long n = slotNumber(key, "FILE");
            if (n >= 1)
                numbered[n].path = value;
        }
        if (key.startsWith("TITLE")) {
            const long long n = slotNumber(key, "TITLE");
            if (n >= 1)
                numbered[n].title = value;
        }
        if (key.startsWith("LENGTH")) {
            const long long n = slotNumber(key, "LENGTH");
            if (n >= 1)
                numbered[n].nLength = ClampLength(CPlaylistText::ParseInt(value));
        }
    }

    for (const auto &[n, entry] : numbered) {
        if (entry.path.isEmpty())
            continue;
        CPlaylistItem item;
        item.m_nLength = entry.nLength;
        item.m_strPath = CPlaylistText::FromFile(entry.path);
        item.m_strTitle = CPlaylistText::FromFile(entry.title);
        m_items.push_back(std::move(item));
    }
}
