// Scripted player: media with a given size and length, states that follow the calls, queued
// events, and a record of what it was asked to do. By default every path opens except one
// containing "broken"; with m_bOnlyListed, only the paths in m_media open, with their lengths
// and titles (the playlist's length probe).
#pragma once

#include "playback/CPlayerBase.h"
#include "playback/CVideoSurface.h"

#include <QMap>
#include <QStringList>
#include <deque>

class CFakePlayer : public CPlayerBase, public CVideoSurface {
public:
    struct Media {
        int nDurationMs;
        QString strTitle;
    };

    bool Init(Notify notify) override;
    CVideoSurface *Surface() override { return this; }
    void ReleaseGraph() override;
    bool OpenMedia(const QString &strPath) override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    void SetPosition(uint32_t nMs) override;
    int GetDuration() override { return IsOpen() ? m_nDuration : 0; }
    int GetPosition() override { return m_nPosition; }
    void SetVideoOwner(QWidget *pOwner) override { m_pVideoOwner = pOwner; }
    void ShowVideo(bool bShow) override;
    void SetVideoRect(const QRect &box) override { m_rcVideo = box; }
    int GetPlayState() const override { return m_nPlayState; }
    int GetMediaState() const override { return m_nMediaState; }
    int GetVideoWidth() override { return IsOpen() ? m_nWidth : 0; }
    int GetVideoHeight() override { return IsOpen() ? m_nHeight : 0; }
    // Media without a picture (width or height 0, a tone) report no video rectangle.
    QRect GetVideoRect() override {
        return GetVideoWidth() > 0 && GetVideoHeight() > 0 ? m_rcVideo : QRect();
    }
    QString GetTitle() const override { return m_strTitle; }
    QString GetFilePath() const override { return m_strPath; }
    QString GetFileName() const override { return m_strPath.section('/', -1); }
    long GetEvent(long &lCode, long &lParam1, long &lParam2) override;
    void SetMessageDrain(QWidget *pDrain) override { m_pDrain = pDrain; }
    bool Mute(bool bMute) override;
    void SetVolume(long lVolume) override;
    long GetVolume() override { return m_lVolume; }
    void SetBalance(long) override {}
    long GetBalance() override { return 0; }
    void SetFadeGain(double dGain) override { m_dFadeGain = dGain; }
    double GetFadeGain() const override { return m_dFadeGain; }

    int BeginOpen(const QString &strPath) override;
    int PollOpen() override;
    void CancelOpen() override { m_strPending.clear(); }
    // The pending open has prepared (or failed); the owner hears of it as from a pipeline.
    void FinishPendingOpen(bool bOpens);

    bool IsOpen() const { return m_nMediaState == MS_LOADED; }

    bool m_bInitOk = true;
    bool m_bOnlyListed = false;
    bool m_bOpenLater = false;
    QString m_strPending; // the open under way
    int m_nPendingOutcome = OPEN_PENDING;
    QMap<QString, Media> m_media; // with m_bOnlyListed: the files that open
    int m_nMediaState = MS_NONE;
    int m_nPlayState = PS_STOPPED;
    int m_nDuration = 10000;
    int m_nPosition = 0;
    int m_nWidth = 720;
    int m_nHeight = 576;
    long m_lVolume = 0;
    long m_lMuted = 0;
    double m_dFadeGain = 1.0;
    bool m_bShown = false;
    QRect m_rcVideo;
    QString m_strPath;
    QString m_strTitle;
    Notify m_notify; // what Init was given
    QWidget *m_pVideoOwner = nullptr;
    QWidget *m_pDrain = nullptr;
    std::deque<long> m_events;
    QStringList m_calls;  // the transport and release calls, in order
    QStringList m_opened; // every OpenMedia call, in order
    int m_nInitCalls = 0;
    int m_nReleaseCalls = 0;
};
