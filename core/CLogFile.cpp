#include "core/CLogFile.h"

#include "core/CRegularFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int STAMP_LENGTH = 23; // "yyyy-MM-dd hh:mm:ss.zzz"
constexpr int LEVEL_LENGTH = 5;

std::vector<QByteArray> ReadLines(const QString &strPath, qint64 nMaxBytes) {
    std::vector<QByteArray> lines;
    int fd = -1;
    qint64 nSize = 0;
    if (CRegularFile::OpenForReading(QFile::encodeName(strPath), qint64(1) << 40, &fd, &nSize) !=
        CRegularFile::OPENED)
        return lines;
    const qint64 nFrom = std::max<qint64>(0, nSize - nMaxBytes);
    QByteArray data(nSize - nFrom, '\0');
    const ssize_t nRead = ::pread(fd, data.data(), size_t(data.size()), nFrom);
    ::close(fd);
    data.truncate(std::max<ssize_t>(0, nRead));
    for (const QByteArray &line : data.split('\n'))
        lines.push_back(line);
    // Cut in the middle of a line at the front; the last piece is what follows the last break.
    if (nFrom > 0 && !lines.empty())
        lines.erase(lines.begin());
    if (!lines.empty() && lines.back().isEmpty())
        lines.pop_back();
    return lines;
}

CLogFile::Line ParseLine(const QByteArray &raw) {
    CLogFile::Line line;
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(raw.left(STAMP_LENGTH)),
                                                 "yyyy-MM-dd hh:mm:ss.zzz");
    const int nTextAt = STAMP_LENGTH + 1 + LEVEL_LENGTH + 1;
    if (!time.isValid() || raw.size() < nTextAt) {
        // A line of another hand: shown as it stands.
        line.text = raw;
        line.nLevel = CLogBook::LEVEL_EMPTY;
        return line;
    }
    line.nTimeMs = time.toMSecsSinceEpoch();
    const QByteArray level = raw.mid(STAMP_LENGTH + 1, LEVEL_LENGTH);
    line.nLevel = level == CLogBook::LevelWord(CLogBook::LEVEL_ERROR)  ? CLogBook::LEVEL_ERROR
                  : level == CLogBook::LevelWord(CLogBook::LEVEL_INFO) ? CLogBook::LEVEL_INFO
                                                                       : CLogBook::LEVEL_SPARE;
    line.text = raw.mid(nTextAt);
    return line;
}
} // namespace

CLogFile::CLogFile(const QString &strPath, qint64 nLimit, int nKept)
    : m_strPath(strPath), m_nLimit(std::max<qint64>(1, nLimit)), m_nKept(std::max(1, nKept)) {}

CLogFile::~CLogFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

QString CLogFile::PathFor(const QString &strSettingsFile) {
    return QFileInfo(strSettingsFile).absolutePath() + "/tessaro.log";
}

bool CLogFile::Open(QString *pstrReason) {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    QDir().mkpath(QFileInfo(m_strPath).absolutePath());
    const QByteArray name = QFile::encodeName(m_strPath);
    const int fd =
        ::open(name.constData(),
               O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        *pstrReason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        *pstrReason = CRegularFile::Reason(CRegularFile::NOT_REGULAR, 0);
        return false;
    }
    m_fd = fd;
    m_nSize = info.st_size;
    return true;
}

void CLogFile::Rotate() {
    ::close(m_fd);
    m_fd = -1;
    QFile::remove(Rotated(m_nKept));
    for (int n = m_nKept - 1; n >= 1; --n)
        QFile::rename(Rotated(n), Rotated(n + 1));
    QFile::rename(m_strPath, Rotated(1));
    QString strIgnored;
    Open(&strIgnored);
}

void CLogFile::WriteLine(qint64 nTimeMs, int nLevel, const char *pszText) {
    if (m_fd < 0)
        return;
    const QByteArray line = CLogBook::FormatLine(nTimeMs, nLevel, pszText, true) + '\n';
    if (m_nSize > 0 && m_nSize + line.size() > m_nLimit)
        Rotate();
    if (m_fd < 0)
        return;
    // A full disk costs lines of the file, never the run.
    const ssize_t nWritten = ::write(m_fd, line.constData(), size_t(line.size()));
    if (nWritten > 0)
        m_nSize += nWritten;
}

std::vector<CLogFile::Line> CLogFile::ReadTail(int nSkip, int nMax) const {
    std::vector<QByteArray> raw = ReadLines(m_strPath, m_nLimit * 2);
    if (qsizetype(raw.size()) < qsizetype(nSkip) + nMax) {
        std::vector<QByteArray> older = ReadLines(Rotated(1), m_nLimit * 2);
        raw.insert(raw.begin(), older.begin(), older.end());
    }
    std::vector<Line> lines;
    const qsizetype nEnd = std::max<qsizetype>(0, qsizetype(raw.size()) - nSkip);
    for (qsizetype i = std::max<qsizetype>(0, nEnd - nMax); i < nEnd; ++i)
        lines.push_back(ParseLine(raw[size_t(i)]));
    return lines;
}
