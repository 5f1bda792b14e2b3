#include "CFakePlayer.h"

#include <QCoreApplication>
#include <QWidget>
#include <utility>

bool CFakePlayer::Init(Notify notify) {
    ++m_nInitCalls;
    m_notify = std::move(notify);
    return m_bInitOk;
}

void CFakePlayer::ReleaseGraph() {
    ++m_nReleaseCalls;
    m_nMediaState = MS_NONE;
    m_nPlayState = PS_STOPPED;
    m_calls << "ReleaseGraph";
}

bool CFakePlayer::OpenMedia(const QString &strPath) {
    m_opened << strPath;
    m_strPath = strPath;
    bool bOpens = !strPath.contains("broken");
    m_strTitle = strPath.section('/', -1);
    if (m_bOnlyListed) {
        const auto it = m_media.constFind(strPath);
        bOpens = it != m_media.cend();
        m_nDuration = bOpens ? it->nDurationMs : 0;
        m_strTitle = bOpens ? it->strTitle : QString();
    }
    m_nMediaState = bOpens ? MS_LOADED : MS_NONE;
    if (bOpens) {
        m_nPlayState = PS_STOPPED;
        m_nPosition = 0;
    }
    return bOpens;
}

int CFakePlayer::BeginOpen(const QString &strPath) {
    if (!m_bOpenLater)
        return CPlayerBase::BeginOpen(strPath);
    m_strPending = strPath;
    m_nPendingOutcome = OPEN_PENDING;
    return OPEN_PENDING;
}

int CFakePlayer::PollOpen() {
    if (m_strPending.isEmpty())
        return OPEN_NONE;
    if (m_nPendingOutcome == OPEN_PENDING)
        return OPEN_PENDING;
    const int nOutcome = std::exchange(m_nPendingOutcome, OPEN_PENDING);
    if (!OpenMedia(std::exchange(m_strPending, QString())) || nOutcome == OPEN_FAILED) {
        m_nMediaState = MS_NONE;
        return OPEN_FAILED;
    }
    return OPEN_DONE;
}

void CFakePlayer::FinishPendingOpen(bool bOpens) {
    m_nPendingOutcome = bOpens ? OPEN_DONE : OPEN_FAILED;
    if (m_notify)
        m_notify();
}

void CFakePlayer::Play() {
    if (IsOpen())
        m_nPlayState = PS_PLAYING;
    m_calls << "Play";
}

void CFakePlayer::Pause() {
    if (IsOpen())
        m_nPlayState = PS_PAUSED;
    m_calls << "Pause";
}

void CFakePlayer::Stop() {
    if (IsOpen()) {
        m_nPlayState = PS_STOPPED;
        m_nPosition = 0;
    }
    m_calls << "Stop";
}

void CFakePlayer::SetPosition(uint32_t nMs) {
    m_nPosition = static_cast<int>(nMs);
    m_calls << QString("SetPosition %1").arg(nMs);
}

void CFakePlayer::ShowVideo(bool bShow) {
    if (IsOpen() && m_nWidth > 0)
        m_bShown = bShow;
}

long CFakePlayer::GetEvent(long &lCode, long &lParam1, long &lParam2) {
    if (m_events.empty())
        return -1;
    lCode = m_events.front();
    lParam1 = lParam2 = 0;
    m_events.pop_front();
    return 0;
}

bool CFakePlayer::Mute(bool bMute) {
    if (bMute) {
        if (m_lVolume == -10000)
            return false;
        m_lMuted = m_lVolume;
        m_lVolume = -10000;
    } else {
        m_lVolume = m_lMuted;
    }
    return true;
}

void CFakePlayer::SetVolume(long lVolume) {
    if (lVolume <= 0 && lVolume >= -10000)
        m_lVolume = lVolume;
}
