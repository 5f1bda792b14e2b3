#include "CFakePlayer.h"

bool CFakePlayer::Init(QWidget *pOwner) {
    ++m_nInitCalls;
    m_pOwner = pOwner;
    return true;
}

void CFakePlayer::ReleaseGraph() {
    ++m_nReleaseCalls;
    m_bOpen = false;
}

bool CFakePlayer::OpenMedia(const QString &strPath) {
    m_opened << strPath;
    const auto it = m_media.constFind(strPath);
    m_bOpen = it != m_media.cend();
    if (m_bOpen)
        m_current = *it;
    return m_bOpen;
}
