#include "CDeviceNode.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

bool CDeviceNode::MakeZero(const QString &strPath) {
    const QByteArray name = QFile::encodeName(strPath);
    if (::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 5)) != 0)
        return false;
    // A folder mounted nodev keeps the node but refuses to open it.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    char c = 1;
    const bool bReads = fd >= 0 && ::read(fd, &c, 1) == 1 && c == 0;
    if (fd >= 0)
        ::close(fd);
    if (!bReads)
        ::unlink(name.constData());
    return bReads;
}
