#include "remote/CSyncCookie.h"

#include <QRandomGenerator>

#include <cstring>

namespace {
CSyncKey NewSecret() {
    QByteArray secret(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(secret.data()),
                                          secret.size() / 4);
    return CSyncKey(secret);
}
} // namespace

CSyncCookie::CSyncCookie() : m_current(NewSecret()), m_previous(NewSecret()) {}

void CSyncCookie::Rotate(uint32_t dwNow) {
    // Unsigned difference: correct across the wrap of the tick count.
    if (dwNow - m_dwRotated < ROTATE_MS)
        return;
    m_previous = dwNow - m_dwRotated < 2 * ROTATE_MS ? m_current : NewSecret();
    m_current = NewSecret();
    m_dwRotated = dwNow;
}

uint64_t CSyncCookie::Of(const CSyncKey &secret, const QHostAddress &sender, quint16 nPort) {
    const QByteArray tag =
        secret.Tag((sender.toString() + ':' + QString::number(nPort)).toLatin1());
    uint64_t n = 0;
    std::memcpy(&n, tag.constData(), sizeof n);
    return n == 0 ? 1 : n;
}

uint64_t CSyncCookie::Issue(const QHostAddress &sender, quint16 nPort, uint32_t dwNow) {
    Rotate(dwNow);
    return Of(m_current, sender, nPort);
}

bool CSyncCookie::Check(uint64_t nCookie, const QHostAddress &sender, quint16 nPort,
                        uint32_t dwNow) {
    Rotate(dwNow);
    return nCookie != 0 &&
           (nCookie == Of(m_current, sender, nPort) || nCookie == Of(m_previous, sender, nPort));
}
