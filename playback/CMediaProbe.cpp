#include "playback/CMediaProbe.h"

#include "playback/CMPlayer.h"
#include "playback/CVideoOutput.h"

#include <algorithm>

std::unique_ptr<CMediaProbe> CMediaProbe::Create() {
    // Frames handed to nobody: a window sink with no window of ours to draw into would open
    // a window of its own for every video probed.
    return std::make_unique<CMediaProbe>(
        std::make_unique<CMPlayer>(QString(), CVideoOutput::Create("frames", QString())));
}

CMediaProbe::CMediaProbe(std::unique_ptr<CPlayerBase> pPlayer) : m_pPlayer(std::move(pPlayer)) {}

CMediaProbe::~CMediaProbe() {
    if (m_pPlayer)
        m_pPlayer->ReleaseGraph();
}

bool CMediaProbe::Probe(const QString &strPath, QString &strTitle, int &nLengthMs) {
    if (!m_pPlayer)
        return false;
    // The probe shows nothing, so its player needs no window.
    const bool bOpened = m_pPlayer->Init(nullptr) && m_pPlayer->OpenMedia(strPath);
    if (bOpened) {
        strTitle = m_pPlayer->GetTitle();
        nLengthMs = std::max(0, m_pPlayer->GetDuration());
    }
    // Nothing stays open between files.
    m_pPlayer->ReleaseGraph();
    return bOpened;
}
