#include "app/CSyncMediaPath.h"

#include "core/CMediaTypes.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool HasParentPart(const QString &strPath) {
    return strPath.split('/').contains(QStringLiteral(".."));
}

// The path with every link resolved, for as much of it as exists; what does not exist yet
// cannot be a link.
QString Resolved(const QString &strPath) {
    QString strExisting = strPath;
    QString strMissing;
    while (!strExisting.isEmpty() && !QFileInfo::exists(strExisting)) {
        const qsizetype nSlash = strExisting.lastIndexOf('/');
        if (nSlash < 0)
            return QString();
        strMissing = strExisting.mid(nSlash) + strMissing;
        strExisting = strExisting.left(nSlash);
    }
    const QString strCanonical =
        QFileInfo(strExisting.isEmpty() ? "/" : strExisting).canonicalFilePath();
    return strCanonical.isEmpty() ? QString() : QDir::cleanPath(strCanonical + strMissing);
}

QString Refused(QString *pstrWhy, const char *pszWhy) {
    if (pstrWhy)
        *pstrWhy = QString::fromLatin1(pszWhy);
    return QString();
}

} // namespace

QString CSyncMediaPath::Join(const QString &strRoot, const QString &strRest,
                             const QString &strMediaRoot, QString *pstrWhy) {
    if (strRest.isEmpty() || strRest.startsWith('/') || HasParentPart(strRest))
        return Refused(pstrWhy, "it leads out of its folder");
    if (strMediaRoot.isEmpty()) {
        if (!strRoot.startsWith('/') || HasParentPart(strRoot))
            return Refused(pstrWhy, "its folder is no absolute path without \"..\"");
        const QString strPath = strRoot.endsWith('/') ? strRoot + strRest : strRoot + '/' + strRest;
        const std::optional<CMediaTypes::Kind> kind =
            CMediaTypes::KindOf('.' + QFileInfo(strRest).suffix());
        if (kind != CMediaTypes::Kind::Timed && kind != CMediaTypes::Kind::Still)
            return Refused(pstrWhy, "it names no medium the program plays ([Sync] MediaRoot "
                                    "is not set)");
        return strPath;
    }
    if (!strMediaRoot.startsWith('/'))
        return Refused(pstrWhy, "[Sync] MediaRoot is no absolute path");
    const QString strPath =
        strMediaRoot.endsWith('/') ? strMediaRoot + strRest : strMediaRoot + '/' + strRest;
    const QString strFolder = Resolved(strMediaRoot);
    const QString strResolved = Resolved(strPath);
    if (strFolder.isEmpty() || strResolved.isEmpty() ||
        !strResolved.startsWith(strFolder == "/" ? strFolder : strFolder + '/'))
        return Refused(pstrWhy, "it leads out of [Sync] MediaRoot through a link");
    return strPath;
}
