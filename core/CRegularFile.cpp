#include "core/CRegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CRegularFile::Result CRegularFile::OpenForReading(const QByteArray &name, qint64 nMaxSize,
                                                  int *pnFd, qint64 *pnSize) {
    *pnFd = -1;
    // Without O_NONBLOCK the open of a pipe waits until someone writes to it.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return CANNOT_OPEN;
    struct stat info {};
    Result result = OPENED;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        result = NOT_REGULAR;
    else if (info.st_size > nMaxSize)
        result = TOO_LARGE;
    if (result != OPENED) {
        ::close(fd);
        return result;
    }
    // A regular file reads the same blocking or not; the flag only mattered for the open.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    *pnFd = fd;
    if (pnSize)
        *pnSize = info.st_size;
    return OPENED;
}

bool CRegularFile::CanReplace(const QByteArray &name) {
    struct stat info {};
    if (::stat(name.constData(), &info) == 0)
        return S_ISREG(info.st_mode);
    // What cannot be looked at is left to the open, which then says why.
    if (errno != ENOENT)
        return true;
    // Nothing there at all; a link to nowhere is not nothing.
    return ::lstat(name.constData(), &info) != 0;
}

QString CRegularFile::Reason(Result result, qint64 nMaxSize) {
    const int nErrno = errno;
    switch (result) {
    case OPENED:
        break;
    case CANNOT_OPEN:
        return QString::fromLocal8Bit(std::strerror(nErrno));
    case NOT_REGULAR:
        return QStringLiteral("not a regular file");
    case TOO_LARGE:
        return nMaxSize >= (qint64(1) << 20)
                   ? QStringLiteral("larger than %1 MB").arg(nMaxSize >> 20)
                   : QStringLiteral("larger than %1 bytes").arg(nMaxSize);
    }
    return QString();
}
