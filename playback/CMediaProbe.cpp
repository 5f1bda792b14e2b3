#include "playback/CMediaProbe.h"

#include "playback/CMPlayer.h"
#include "playback/CVideoSurface.h"

#include <algorithm>

std::unique_ptr<CMediaProbe> CMediaProbe::Create() {
    return std::make_unique<CMediaProbe>(std::make_unique<CMPlayer>());
}

CMediaProbe::CMediaProbe(std::unique_ptr<CPlayerBase> pPlayer) : m_pPlayer(std::move(pPlayer)) {}

CMediaProbe::~CMediaProbe() {
    if (m_pPlayer)
        m_pPlayer->ReleaseGraph();
}

bool CMediaProbe::Probe(const QString &strPath, QWidget *pOwner, QString &strTitle,
                        int &nLengthMs) {
    if (!m_pPlayer)
        return false;
    const bool bReady = m_pPlayer->Init(nullptr);
    if (CVideoSurface *pSurface = bReady ? m_pPlayer->Surface() : nullptr)
        pSurface->SetVideoOwner(pOwner);
    const bool bOpened = bReady && m_pPlayer->OpenMedia(strPath);
    if (bOpened) {
        strTitle = m_pPlayer->GetTitle();
        nLengthMs = std::max(0, m_pPlayer->GetDuration());
    }
    // Nothing stays open between files.
    m_pPlayer->ReleaseGraph();
    return bOpened;
}
