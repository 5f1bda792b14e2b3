// The media player over GStreamer: one playbin pipeline per opened file, its video shown in
// a child widget of the owner window through a video output, audio to the default output (or
// a clocked fake output). The player's own state machine; the pipeline is built elsewhere.
#pragma once

#include "playback/CPlayerBase.h"

#include <gst/gst.h>

#include <QPointer>
#include <memory>
#include <string>

class CGraphEventQueue;
class CVideoOutput;
class CVideoWidget;

class CMPlayer : public CPlayerBase {
public:
    CMPlayer();
    ~CMPlayer() override;
    CMPlayer(const CMPlayer &) = delete;
    CMPlayer &operator=(const CMPlayer &) = delete;

    bool Init(QWidget *pOwner) override;
    void ReleaseGraph() override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    void SetPosition(uint32_t nMs) override;
    int GetDuration() override;
    int GetPosition() override;
    void SetVideoOwner(QWidget *pOwner) override;
    void ShowVideo(bool bShow) override;
    void SetVideoRect(const QRect &box) override;
    int GetPlayState() const override { return m_nPlayState; }
    int GetMediaState() const override { return m_nMediaState; }
    int GetVideoWidth() override;
    int GetVideoHeight() override;
    QRect GetVideoRect() override;
    QString GetTitle() const override { return m_strTitle; }
    QString GetFilePath() const override { return m_strFilePath; }
    QString GetFileName() const override;
    long GetEvent(long &lEventCode, long &lParam1, long &lParam2) override;
    void SetMessageDrain(QWidget *pDrain) override;
    bool Mute(bool bMute) override;
    void SetVolume(long lVolume) override;
    long GetVolume() override;
    void SetBalance(long lBalance) override;
    long GetBalance() override;
    bool OpenMedia(const QString &strPath) override;

    // The rectangle (left, top, width, height) a video of vw x vh takes inside the box:
    // aspect kept with a single-precision ratio, centred, sizes truncated.
    static QRect FitVideoRect(const QRect &box, int nVideoWidth, int nVideoHeight);
    // Writes "error | message" (or the error alone) at level 1 or 2; level 0 writes nothing.
    // False when there was an error, true for a null error text.
    static bool LogResult(int nLevel, const char *pszErrorText, const char *pszMessage);

    // The widget the video is painted in (nullptr before a first owner was given).
    QWidget *GetVideoWidget() const;
    // The current pipeline, for tests that post messages on it (nullptr without one).
    GstElement *GetPipeline() const { return m_pGraph; }
    // Frames handed to the UI thread since the player was made.
    int GetDeliveredFrames() const;
    bool IsStill() const { return m_bStill; }
    // Before Init: how the video reaches the screen (by default as the platform suggests).
    void SetVideoOutput(std::unique_ptr<CVideoOutput> pOutput);
    const char *GetVideoOutputName() const;
    // "Player A" or "Player B": names the player in its log lines; the probe has none.
    void SetLogName(const QString &strName) { m_strName = strName; }

protected:
    // Colour depth of the screen the video is shown on; 0 when there is none.
    virtual int GetScreenDepth() const;

private:
    bool InitGrabberFilter();
    bool RenderFile(const QString &strPath, std::string &strError);
    bool ReRequestIVideoWindow();
    void BuildTitle(const QString &strPath);
    bool HasAudio() const;
    bool HasVideo() const;
    bool IsTimeSeekable() const;
    bool WaitForSeek();
    QString LogPrefix() const;
    void CollectFrameStats();
    // One information line with the frames shown and dropped since the media started playing.
    void LogFrameStats();

    // Fields in the order the player has always kept them.
    QPointer<QWidget> m_pOwnerWnd;
    QString m_strTitle;
    QString m_strFilePath;
    GstElement *m_pGraph = nullptr;    // the playbin
    GstElement *m_pPanorama = nullptr; // balance
    std::shared_ptr<CGraphEventQueue> m_pMediaEvent;
    bool m_bVideoWindow = false; // the video window is in use for this graph
    int m_nMediaState = MS_NONE;
    int m_nPlayState = PS_STOPPED;
    bool m_bTimeFormatOK = false;
    long m_lVolume = 0;
    long m_lMutedVolume = 0;
    long m_lBalance = 0;

    bool m_bStill = false;
    int m_nNativeWidth = 0;
    int m_nNativeHeight = 0;
    QSize m_scaledSize;
    std::unique_ptr<CVideoOutput> m_pOutput;
    QPointer<CVideoWidget> m_pVideoWidget;
    QString m_strName;
    guint64 m_nFramesShown = 0;
    guint64 m_nFramesDropped = 0;
    bool m_bFramesToReport = false;
};
