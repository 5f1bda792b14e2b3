// Scripted stand-in for the probe player: opens only the files a test lists, with the
// length and title given there, and counts what it was asked to do.
#pragma once

#include "playback/CPlayerBase.h"

#include <QMap>
#include <QStringList>

class CFakePlayer : public CPlayerBase {
public:
    struct Media {
        int nDurationMs;
        QString strTitle;
    };

    bool Init(QWidget *pOwner) override;
    void ReleaseGraph() override;
    void Play() override {}
    void Pause() override {}
    void Stop() override {}
    void SetPosition(uint32_t) override {}
    int GetDuration() override { return m_bOpen ? m_current.nDurationMs : 0; }
    int GetPosition() override { return 0; }
    void SetVideoOwner(QWidget *) override {}
    void ShowVideo(bool) override {}
    void SetVideoRect(const QRect &) override {}
    int GetPlayState() const override { return PS_STOPPED; }
    int GetMediaState() const override { return m_bOpen ? MS_LOADED : MS_NONE; }
    int GetVideoWidth() override { return 0; }
    int GetVideoHeight() override { return 0; }
    QRect GetVideoRect() override { return QRect(); }
    QString GetTitle() const override { return m_bOpen ? m_current.strTitle : QString(); }
    QString GetFilePath() const override { return QString(); }
    QString GetFileName() const override { return QString(); }
    long GetEvent(long &, long &, long &) override { return -1; }
    void SetMessageDrain(QWidget *) override {}
    bool Mute(bool) override { return true; }
    void SetVolume(long) override {}
    long GetVolume() override { return 0; }
    void SetBalance(long) override {}
    long GetBalance() override { return 0; }
    bool OpenMedia(const QString &strPath) override;

    QMap<QString, Media> m_media; // the files that open
    QStringList m_opened;         // every OpenMedia call, in order
    int m_nInitCalls = 0;
    int m_nReleaseCalls = 0;
    QWidget *m_pOwner = nullptr;
    bool m_bOpen = false;

private:
    Media m_current{0, QString()};
};
