#include "remote/CSyncKey.h"

#include <QMessageAuthenticationCode>

QByteArray CSyncKey::Tag(const QByteArray &bytes) const {
    return QMessageAuthenticationCode::hash(bytes, m_key, QCryptographicHash::Sha256);
}

bool CSyncKey::Verify(const QByteArray &bytes) const {
    if (bytes.size() < TAG_SIZE)
        return false;
    const QByteArray expected = Tag(Unsealed(bytes));
    // In constant time, so the time a refusal takes tells nothing of how much of a tag was right.
    unsigned char nDiff = 0;
    const char *pTag = bytes.constData() + bytes.size() - TAG_SIZE;
    for (qsizetype i = 0; i < TAG_SIZE; ++i)
        nDiff |= static_cast<unsigned char>(pTag[i] ^ expected[i]);
    return nDiff == 0;
}
