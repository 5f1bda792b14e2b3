#include "playback/CId3Tag.h"

#include <QFile>

bool CId3Tag::Read(const QString &strPath) {
    m_strTitle.clear();
    m_strArtist.clear();
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() < TAG_SIZE || !file.seek(file.size() - TAG_SIZE))
        return false;
    QByteArray block = file.read(TAG_SIZE);
    return Parse(block);
}

bool CId3Tag::Parse(const QByteArray &block) {
    m_strTitle.clear();
    m_strArtist.clear();
    if (block.size() != TAG_SIZE || !block.startsWith("TAG"))
        return false;
    m_strTitle = Field(block, 3);
    m_strArtist = Field(block, 33);
    return true;
}

// A field is 30 bytes, but its last byte is always treated as the terminator, so at most
// 29 characters count. The encoding of ID3v1 is Latin-1.
QString CId3Tag::Field(const QByteArray &block, int nOffset) {
    QByteArray field = block.mid(nOffset, 29);
    int nEnd = field.indexOf('\0');
    if (nEnd >= 0)
        field.truncate(nEnd);
    while (!field.isEmpty() && field.endsWith(' '))
        field.chop(1);
    return QString::fromLatin1(field);
}
