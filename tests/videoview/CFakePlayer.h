// Scripted player for the video view's tests: media with a given size and length, states
// that follow the calls, queued events, and a log of the calls that matter.
#pragma once

#include "playback/CPlayerBase.h"

#include <QStringList>
#include <deque>

class CFakePlayer : public CPlayerBase {
public:
    bool Init(QWidget *pOwner) override {
        m_pOwner = pOwner;
        return m_bInitOk;
    }
    void ReleaseGraph() override {
        m_nMediaState = MS_NONE;
        m_nPlayState = PS_STOPPED;
        m_calls << "ReleaseGraph";
    }
    void Play() override {
        if (m_nMediaState == MS_LOADED)
            m_nPlayState = PS_PLAYING;
        m_calls << "Play";
    }
    void Pause() override {
        if (m_nMediaState == MS_LOADED)
            m_nPlayState = PS_PAUSED;
        m_calls << "Pause";
    }
    void Stop() override {
        if (m_nMediaState == MS_LOADED) {
            m_nPlayState = PS_STOPPED;
            m_nPosition = 0;
        }
        m_calls << "Stop";
    }
    void SetPosition(uint32_t nMs) override {
        m_nPosition = static_cast<int>(nMs);
        m_calls << QString("SetPosition %1").arg(nMs);
    }
    int GetDuration() override { return m_nMediaState == MS_LOADED ? m_nDuration : 0; }
    int GetPosition() override { return m_nPosition; }
    void SetVideoOwner(QWidget *pOwner) override { m_pVideoOwner = pOwner; }
    void ShowVideo(bool bShow) override {
        if (m_nMediaState == MS_LOADED && m_nWidth > 0)
            m_bShown = bShow;
    }
    void SetVideoRect(const QRect &box) override { m_rcVideo = box; }
    int GetPlayState() const override { return m_nPlayState; }
    int GetMediaState() const override { return m_nMediaState; }
    int GetVideoWidth() override { return m_nMediaState == MS_LOADED ? m_nWidth : 0; }
    int GetVideoHeight() override { return m_nMediaState == MS_LOADED ? m_nHeight : 0; }
    QRect GetVideoRect() override { return m_rcVideo; }
    QString GetTitle() const override { return m_strTitle; }
    QString GetFilePath() const override { return m_strPath; }
    QString GetFileName() const override { return m_strPath.section('/', -1); }
    long GetEvent(long &lCode, long &lParam1, long &lParam2) override {
        if (m_events.empty())
            return -1;
        lCode = m_events.front();
        lParam1 = lParam2 = 0;
        m_events.pop_front();
        return 0;
    }
    void SetMessageDrain(QWidget *pDrain) override { m_pDrain = pDrain; }
    bool Mute(bool bMute) override {
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
    void SetVolume(long lVolume) override {
        if (lVolume <= 0 && lVolume >= -10000)
            m_lVolume = lVolume;
    }
    long GetVolume() override { return m_lVolume; }
    void SetBalance(long) override {}
    long GetBalance() override { return 0; }
    bool OpenMedia(const QString &strPath) override {
        m_strPath = strPath;
        m_strTitle = strPath.section('/', -1);
        if (strPath.contains("broken")) {
            m_nMediaState = MS_NONE;
            return false;
        }
        m_nMediaState = MS_LOADED;
        m_nPlayState = PS_STOPPED;
        m_nPosition = 0;
        return true;
    }

    bool m_bInitOk = true;
    int m_nMediaState = MS_NONE;
    int m_nPlayState = PS_STOPPED;
    int m_nDuration = 10000;
    int m_nPosition = 0;
    int m_nWidth = 720;
    int m_nHeight = 576;
    long m_lVolume = 0;
    long m_lMuted = 0;
    bool m_bShown = false;
    QRect m_rcVideo;
    QString m_strPath;
    QString m_strTitle;
    QWidget *m_pOwner = nullptr;
    QWidget *m_pVideoOwner = nullptr;
    QWidget *m_pDrain = nullptr;
    std::deque<long> m_events;
    QStringList m_calls;
};
