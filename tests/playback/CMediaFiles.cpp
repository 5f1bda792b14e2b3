#include "CMediaFiles.h"

#include <QFile>
#include <QProcess>

QString CMediaFiles::Directory() {
    return qEnvironmentVariable("TESSARO_BUILD_DIR", ".") + "/tests/media";
}

QString CMediaFiles::Path(const QString &strName, bool bBench) {
    const QString strPath = Directory() + "/" + strName;
    if (!QFile::exists(strPath)) {
        QStringList args{Directory()};
        if (bBench)
            args << "--bench";
        QProcess::execute(qEnvironmentVariable("TESSARO_BUILD_DIR", ".") + "/tessaro-mediagen",
                          args);
    }
    return strPath;
}
