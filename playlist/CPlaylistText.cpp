#include "playlist/CPlaylistText.h"

#include <QFile>
#include <climits>

long long CPlaylistText::ParseInt(const char *psz) {
    if (!psz)
        return 0;
    while (*psz == ' ' || *psz == '\t' || *psz == '\n' || *psz == '\r' || *psz == '\v' ||
           *psz == '\f')
        ++psz;
    bool bNegative = false;
    if (*psz == '+' || *psz == '-')
        bNegative = *psz++ == '-';
    long long nValue = 0;
    for (; *psz >= '0' && *psz <= '9'; ++psz) {
        if (nValue > (LLONG_MAX - 9) / 10) {
            nValue = LLONG_MAX;
            continue;
        }
        nValue = nValue * 10 + (*psz - '0');
    }
    return bNegative ? -nValue : nValue;
}

QByteArray CPlaylistText::ToUpperAscii(QByteArray text) {
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

QByteArray CPlaylistText::ToLowerAscii(QByteArray text) {
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

QString CPlaylistText::FileName(const QString &strPath) {
    return strPath.mid(strPath.lastIndexOf(QLatin1Char('/')) + 1);
}

QString CPlaylistText::Extension(const QString &strPath) {
    const QString strName = FileName(strPath);
    const qsizetype nDot = strName.lastIndexOf(QLatin1Char('.'));
    return nDot < 0 ? QString() : strName.mid(nDot);
}

QString CPlaylistText::Folder(const QString &strPath) {
    return strPath.left(strPath.lastIndexOf(QLatin1Char('/')) + 1);
}

QString CPlaylistText::FromFile(const QByteArray &bytes) {
    return QFile::decodeName(bytes);
}

QByteArray CPlaylistText::ToFile(const QString &str) {
    return QFile::encodeName(str);
}

bool CPlaylistText::ByteOrder(const QString &a, const QString &b) {
    return ToFile(a) < ToFile(b);
}
