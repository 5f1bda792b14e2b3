#include "playback/CMPlayer.h"

#include "core/CLogBook.h"
#include "core/CProfile.h"
#include "playback/CAudioOutput.h"
#include "playback/CDecoderRanks.h"
#include "playback/CGraphEventQueue.h"
#include "playback/CId3Tag.h"
#include "playback/CLengthEstimate.h"
#include "playback/CPipelineBuilder.h"
#include "playback/CPipelineTiming.h"
#include "playback/CStreamEndWatch.h"
#include "playback/CSuccessorGraph.h"
#include "playback/CVideoOutput.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// Bounds the UI thread's wait for media that neither prerolls nor fails; any error ends it early.
constexpr int PREROLL_TIMEOUT_MS = 3000;
constexpr GstClockTime SEEK_TIMEOUT = 3 * GST_SECOND;
constexpr int SEEK_POLL_MS = 5; // how often a seek in flight is looked at
// A step's first frames come from a pipeline prerolled long before, with no slack: the next
// one is drawn a frame period after the first, decoded in between. Building the follower's
// pipeline, or tearing down the ended one, at that moment took the processor from them and
// made them late, so both wait a little (unless the medium is too short for it).
constexpr int PREPARE_DELAY_MS = 250;
constexpr int PREPARE_AT_ONCE_BELOW_MS = PREPARE_DELAY_MS + 500; // what is left of the medium
constexpr std::chrono::milliseconds ENDED_TEARDOWN_DELAY(250);
constexpr long VOLUME_SILENT = -10000;

QString FileNameOf(const QString &strPath) {
    return strPath.mid(strPath.lastIndexOf('/') + 1);
}

template <typename T> void Unref(T *&pObject) {
    if (pObject) {
        gst_object_unref(pObject);
        pObject = nullptr;
    }
}

} // namespace

CMPlayer::CMPlayer() : CMPlayer(QString(), CVideoOutput::Create("auto", "")) {}

CMPlayer::CMPlayer(const QString &strLogName, std::unique_ptr<CVideoOutput> pOutput)
    : m_pOutput(std::move(pOutput)), m_strName(strLogName) {
    m_window.SetOutput(m_pOutput.get());
    m_prepareTimer.setSingleShot(true);
    m_prepareTimer.setInterval(PREPARE_DELAY_MS);
    m_prepareTimer.callOnTimeout([this] { PrepareSuccessor(); });
    GError *pError = nullptr;
    if (!gst_is_initialized() && !gst_init_check(nullptr, nullptr, &pError)) {
        LogResult(2, pError ? pError->message : "GStreamer could not be initialised", nullptr);
        g_clear_error(&pError);
        return;
    }
    CDecoderRanks::Prepare();
}

CMPlayer::~CMPlayer() {
    ReleaseGraph();
    m_reaper.Drain();
    m_window.SetOutput(nullptr);
}

bool CMPlayer::LogResult(int nLevel, const char *pszErrorText, const char *pszMessage) {
    if (!pszErrorText)
        return true;
    if (nLevel == 0)
        return false;
    QByteArray line =
        pszMessage ? QByteArray(pszErrorText) + " | " + pszMessage : QByteArray(pszErrorText);
    if (nLevel == 2)
        LogError("%s", line.constData());
    else
        LogMsg("%s", line.constData());
    return false;
}

int CMPlayer::GetScreenDepth() const {
    QScreen *pScreen = QGuiApplication::primaryScreen();
    return pScreen ? pScreen->depth() : 0;
}

const char *CMPlayer::GetVideoOutputName() const {
    return m_pOutput->GetName();
}

std::unique_ptr<CPlayerBase> CMPlayer::ForShow(int nID, CProfile &profile) {
    return std::make_unique<CMPlayer>(
        QStringLiteral("Player %1").arg(QChar('A' + nID)),
        CVideoOutput::Create(CVideoOutput::ReadKind(profile),
                             profile.GetProfileString("Video", "Sink", "")));
}

GstElement *CMPlayer::MakeAudioSink() {
    return m_pAudio ? m_pAudio->MakeSink(m_nAudioId) : CAudioOutput::MakeSink();
}

bool CMPlayer::Init(Notify notify) {
    ReleaseGraph();
    m_pGraph = CPipelineBuilder::MakePlaybin(MakeAudioSink());
    if (!m_pGraph)
        return LogResult(2, "No playbin element", "Init: CoCreateInstance() failed\n");
    if (m_pTiming)
        m_pTiming->Attach(m_nTimingId, m_pGraph);

    m_pMediaEvent = std::make_shared<CGraphEventQueue>();
    m_pMediaEvent->Attach(m_pGraph);
    m_notify = std::move(notify);
    m_pMediaEvent->SetNotify(m_notify);
    m_pEndWatch = std::make_shared<CStreamEndWatch>();
    m_pEndWatch->Attach(m_pGraph);

    m_pPanorama = CPipelineBuilder::AddBalanceFilter(m_pGraph);
    if (!m_pPanorama)
        return LogResult(2, "No audiopanorama element",
                         "Init: QueryInterface(IID_IBasicAudio) failed\n");

    m_lVolume = GetVolume();
    m_lBalance = GetBalance();
    if (!InitGrabberFilter())
        return false;
    SetVideoOwner(m_pVideoOwner);
    return true;
}

bool CMPlayer::InitGrabberFilter() {
    bool bSink = CPipelineBuilder::SetVideoSink(m_pGraph, m_pOutput->MakeSink());
    // A sink that cannot draw here (not installed, misnamed in the settings) still leaves the
    // frames, which need nothing beyond GStreamer's base elements.
    if (!bSink && strcmp(m_pOutput->GetName(), "frames") != 0) {
        LogMsg("CMPlayer::InitGrabberFilter(): no %s video output, showing frames instead\n",
               m_pOutput->GetName());
        m_pOutput = CVideoOutput::Create("frames", "");
        m_window.SetOutput(m_pOutput.get());
        bSink = CPipelineBuilder::SetVideoSink(m_pGraph, m_pOutput->MakeSink());
    }
    if (!bSink)
        return LogResult(1, "The video sink could not be made",
                         "InitGrabberFilter: CoCreateInstance(IID_IBaseFilter) failed\n");
    m_window.ForgetScale();
    const int nDepth = GetScreenDepth();
    return nDepth == 8 || nDepth == 16 || nDepth == 24 || nDepth == 32;
}

void CMPlayer::ReleaseGraph() {
    DisposeGraph(m_pOpening);
    DisposeGraph(m_pSuccessor);
    m_strNextPath.clear();
    m_bTookOver = m_bStopPending = m_bFirstFrameDeferred = false;
    // The sink lets go of the window before its pipeline goes.
    m_pOutput->ReleaseSink();
    DropPipeline();
    if (m_bVideoWindow) {
        m_window.Release();
        m_bVideoWindow = false;
    }
    m_nMediaState = MS_NONE;
    m_nPlayState = PS_STOPPED;
    m_bTimeFormatOK = false;
    m_bHalted = false;
    m_bStill = false;
    m_nNativeWidth = m_nNativeHeight = 0;
    m_window.ForgetScale();
    m_nFramesShown = m_nFramesDropped = 0;
    m_bFramesToReport = false;
}

// The pipeline stops for good and goes, off the UI thread; nothing of it is reported any more.
// The video widget is left as it is.
void CMPlayer::DropPipeline(std::chrono::milliseconds nDelay) {
    CSuccessorGraph::Parts parts;
    parts.pPlaybin = std::exchange(m_pGraph, nullptr);
    parts.pPanorama = std::exchange(m_pPanorama, nullptr);
    parts.pEvents = std::move(m_pMediaEvent);
    parts.pEndWatch = std::move(m_pEndWatch);
    DisposeParts(std::move(parts), nDelay);
}

void CMPlayer::DisposeGraph(std::unique_ptr<CSuccessorGraph> &pGraph) {
    if (!pGraph)
        return;
    CSuccessorGraph::Parts parts = pGraph->Release();
    pGraph.reset();
    m_pOutput->ReleaseSuccessorSink();
    DisposeParts(std::move(parts));
}

void CMPlayer::DisposeParts(CSuccessorGraph::Parts parts, std::chrono::milliseconds nDelay) {
    if (parts.pEvents) {
        parts.pEvents->SetNotify(nullptr);
        parts.pEvents->Detach();
    }
    if (parts.pEndWatch)
        parts.pEndWatch->Detach();
    Unref(parts.pPanorama);
    m_reaper.Dispose(parts.pPlaybin, nDelay);
}

// Media time is usable when the length is known or the media can be sought in time. Parsed
// streams such as MP3 learn their length only once data flows, after the preroll.
bool CMPlayer::IsTimeSeekable() const {
    gint64 nDuration = 0;
    if (gst_element_query_duration(m_pGraph, GST_FORMAT_TIME, &nDuration))
        return true;
    GstQuery *pQuery = gst_query_new_seeking(GST_FORMAT_TIME);
    gboolean bSeekable = FALSE;
    if (gst_element_query(m_pGraph, pQuery))
        gst_query_parse_seeking(pQuery, nullptr, &bSeekable, nullptr, nullptr);
    gst_query_unref(pQuery);
    return bSeekable;
}

bool CMPlayer::RenderFile(const QString &strPath, std::string &strError) {
    if (!m_pGraph || !m_pMediaEvent) {
        strError = "The player has no pipeline";
        return false;
    }
    if (!CPipelineBuilder::SetSource(m_pGraph, strPath, m_bStill, strError))
        return false;
    GstStateChangeReturn ret = gst_element_set_state(m_pGraph, GST_STATE_PAUSED);
    if (ret == GST_STATE_CHANGE_FAILURE) {
        strError = m_pMediaEvent->GetFirstError();
        if (strError.empty())
            strError = "The media could not be opened";
        return false;
    }
    if (ret == GST_STATE_CHANGE_ASYNC && !m_pMediaEvent->WaitPreroll(PREROLL_TIMEOUT_MS, strError))
        return false;
    return true;
}

bool CMPlayer::OpenMedia(const QString &strPath) {
    DisposeGraph(m_pOpening);
    ForgetSeek();
    // The medium restarted on its own at its end a moment ago: it stands opened and stopped
    // until the Play that follows.
    if (m_bTookOver && strPath == m_strFilePath && m_nMediaState == MS_LOADED) {
        m_bStopPending = m_bStopPending || m_nPlayState == PS_PLAYING;
        m_nPlayState = PS_STOPPED;
        return true;
    }
    if (m_pSuccessor && m_pSuccessor->GetPath() == strPath &&
        TakeOver(std::move(m_pSuccessor), true, true))
        return true;
    if (m_pTiming)
        m_pTiming->Opening(m_nTimingId, strPath);
    // Every file gets a fresh pipeline. A pipeline that failed to initialise is never
    // rendered into: it may lack our video sink and would open a window of its own.
    const bool bReady = Init(m_notify);
    m_nMediaState = MS_OPENING;
    BuildTitle(strPath);
    std::string strError = "The player could not be initialised";
    if (!bReady || !RenderFile(strPath, strError)) {
        LogResult(2, strError.c_str(), "OpenMedia(): RenderFile() failed\n");
        // Nothing of the failed file may keep running or announce itself later.
        if (m_pGraph)
            gst_element_set_state(m_pGraph, GST_STATE_NULL);
        m_nMediaState = MS_NONE;
        return false;
    }
    FinishOpen();
    m_pMediaEvent->Arm();
    return true;
}

int CMPlayer::BeginOpen(const QString &strPath) {
    DisposeGraph(m_pOpening);
    // The medium that restarted itself stands opened as it is.
    if (m_bTookOver && strPath == m_strFilePath && m_nMediaState == MS_LOADED)
        return OpenMedia(strPath) ? OPEN_DONE : OPEN_FAILED;
    // A follower of the file that is ready or already plays is taken over at once, its first
    // frame shown a moment later: an open of the file that follows the medium (a playlist of
    // one clip, the same file again and again) waits for nothing, as any other open.
    if (m_pSuccessor && m_pSuccessor->GetPath() == strPath &&
        (m_pSuccessor->HasStarted() || m_pSuccessor->IsReady())) {
        ForgetSeek();
        if (TakeOver(std::move(m_pSuccessor), true, false))
            return OPEN_DONE;
    }
    // The follower waited for the medium this open replaces.
    DisposeGraph(m_pSuccessor);
    m_strNextPath.clear();
    if (m_pTiming)
        m_pTiming->Opening(m_nTimingId, strPath);
    std::string strError;
    m_pOpening = CSuccessorGraph::PrepareOpen(strPath, *m_pOutput, MakeAudioSink(), m_notify,
                                              LinearVolume(), m_lBalance, strError);
    if (!m_pOpening) {
        FailOpen(strPath, strError);
        return OPEN_FAILED;
    }
    if (m_pTiming)
        m_pTiming->Prepared(m_pOpening->GetPipeline());
    m_openBegan = std::chrono::steady_clock::now();
    PollOpenIn(PREROLL_TIMEOUT_MS);
    return OPEN_PENDING;
}

QString CMPlayer::GetOpeningPath() const {
    return m_pOpening ? m_pOpening->GetPath() : QString();
}

int CMPlayer::PollOpen() {
    if (!m_pOpening)
        return OPEN_NONE;
    const QString strPath = m_pOpening->GetPath();
    std::string strError;
    int nRecheckMs = -1;
    switch (m_pOpening->PollPreroll(strError, nRecheckMs)) {
    case CGraphEventQueue::Preroll::Pending: {
        const auto waited = std::chrono::steady_clock::now() - m_openBegan;
        if (waited < std::chrono::milliseconds(PREROLL_TIMEOUT_MS)) {
            if (nRecheckMs >= 0)
                PollOpenIn(nRecheckMs);
            return OPEN_PENDING;
        }
        strError = "Timed out while opening the media";
        break;
    }
    case CGraphEventQueue::Preroll::Done:
        ForgetSeek();
        if (TakeOver(std::move(m_pOpening), true, false))
            return OPEN_DONE;
        strError = "The media could not be opened";
        break;
    case CGraphEventQueue::Preroll::Failed:
        break;
    }
    DisposeGraph(m_pOpening);
    FailOpen(strPath, strError);
    return OPEN_FAILED;
}

void CMPlayer::PollOpenIn(int nMs) {
    std::weak_ptr<char> alive = m_pAlive;
    QTimer::singleShot(nMs, qApp, [this, alive] {
        if (alive.lock() && m_pOpening)
            m_pOpening->Nudge();
    });
}

void CMPlayer::FailOpen(const QString &strPath, const std::string &strError) {
    ForgetSeek();
    // The medium before is gone, as after any open that failed.
    const bool bReady = Init(m_notify);
    m_nMediaState = MS_OPENING;
    BuildTitle(strPath);
    LogResult(2, bReady ? strError.c_str() : "The player could not be initialised",
              "OpenMedia(): RenderFile() failed\n");
    m_nMediaState = MS_NONE;
}

double CMPlayer::LinearVolume() const {
    double dVolume = 1.0;
    if (m_pGraph)
        g_object_get(m_pGraph, "volume", &dVolume, nullptr);
    return dVolume;
}

void CMPlayer::FinishOpen() {
    m_nMediaState = MS_LOADED;
    m_nPlayState = PS_STOPPED;
    ReadNativeSize();
    if (m_bStill || IsTimeSeekable()) {
        m_bTimeFormatOK = true;
    } else {
        LogMsg("Time format not supported!\n");
        m_bTimeFormatOK = false;
    }
    SetVolume(m_lVolume);
    SetBalance(m_lBalance);
    SetFadeGain(m_dFadeGain);
}

void CMPlayer::ReadNativeSize() {
    m_nNativeWidth = m_nNativeHeight = 0;
    if (!HasVideo())
        return;
    GstPad *pPad = nullptr;
    g_signal_emit_by_name(m_pGraph, "get-video-pad", 0, &pPad);
    if (!pPad)
        return;
    if (GstCaps *pCaps = gst_pad_get_current_caps(pPad)) {
        GstStructure *pStruct = gst_caps_get_structure(pCaps, 0);
        gst_structure_get_int(pStruct, "width", &m_nNativeWidth);
        gst_structure_get_int(pStruct, "height", &m_nNativeHeight);
        gst_caps_unref(pCaps);
    }
    gst_object_unref(pPad);
}

void CMPlayer::BuildTitle(const QString &strPath) {
    if (m_nMediaState != MS_OPENING)
        return;
    m_strTitle.clear();
    m_strFilePath = strPath;
    const QString strName = FileNameOf(strPath);
    const int nDot = strName.lastIndexOf('.');
    const QString strExt = nDot >= 0 ? strName.mid(nDot) : QString();
    if (strExt == QLatin1String(".mp3")) {
        CId3Tag tag;
        if (tag.Read(strPath) && !tag.GetTitle().isEmpty() && !tag.GetArtist().isEmpty())
            m_strTitle = tag.GetArtist() + " - " + tag.GetTitle();
    }
    if (m_strTitle.isEmpty())
        m_strTitle = strName;
}

QString CMPlayer::GetFileName() const {
    return FileNameOf(m_strFilePath);
}

void CMPlayer::Play() {
    if (m_nMediaState != MS_LOADED || !m_pGraph)
        return;
    m_bFirstFrameDeferred = false;
    // A taken-over medium reported stopped has been playing all along: its timing stays.
    const bool bPlayingAlong = m_bStopPending;
    m_bStopPending = false;
    m_bHalted = false;
    const GstStateChangeReturn ret = m_pTiming && !bPlayingAlong
                                         ? m_pTiming->Play(m_nTimingId, m_pGraph)
                                         : gst_element_set_state(m_pGraph, GST_STATE_PLAYING);
    if (ret == GST_STATE_CHANGE_FAILURE) {
        Stop();
    } else {
        m_nPlayState = PS_PLAYING;
        m_bFramesToReport = true;
    }
    ArmSuccessor();
}

void CMPlayer::Pause() {
    if (m_nMediaState != MS_LOADED || !m_pGraph)
        return;
    m_bFirstFrameDeferred = false;
    if (m_bStopPending)
        Stop();
    CollectFrameStats();
    const GstStateChangeReturn ret = m_pTiming ? m_pTiming->Pause(m_nTimingId, m_pGraph)
                                               : gst_element_set_state(m_pGraph, GST_STATE_PAUSED);
    if (ret == GST_STATE_CHANGE_FAILURE)
        Stop();
    else
        m_nPlayState = PS_PAUSED;
    ArmSuccessor();
}

void CMPlayer::Stop() {
    if (m_nMediaState != MS_LOADED || !m_pGraph)
        return;
    // The medium restarted on its own at its end a moment ago: a Play follows at once
    // (repeat), and a stop that nothing follows happens once this turn is over.
    if (m_bTookOver && m_nPlayState == PS_PLAYING) {
        m_nPlayState = PS_STOPPED;
        m_bStopPending = true;
        return;
    }
    m_bStopPending = false;
    // Before the sink leaves PLAYING, which starts its counters again.
    LogFrameStats();
    if (gst_element_set_state(m_pGraph, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        return;
    SetPosition(0);
    m_nPlayState = PS_STOPPED;
}

// A flushing seek completes asynchronously; waiting for it means a position read right after
// the call already reports the new place.
bool CMPlayer::WaitForSeek() {
    return gst_element_get_state(m_pGraph, nullptr, nullptr, SEEK_TIMEOUT) !=
           GST_STATE_CHANGE_FAILURE;
}

void CMPlayer::SetPosition(uint32_t nMs) {
    if (m_nMediaState != MS_LOADED || !m_bTimeFormatOK)
        return;
    m_bFirstFrameDeferred = false;
    if (m_bStopPending)
        Stop();
    // Never waited for: a flood of seeks would hold the program for as long as their frames
    // take to decode. One is in flight, and of those that come meanwhile the newest follows.
    m_nSeekTarget = nMs;
    if (IsSeeking()) {
        m_bSeekPending = true;
        return;
    }
    StartSeek(nMs);
}

bool CMPlayer::IsSeeking() const {
    return m_pSeekGraph && m_pSeekGraph == m_pGraph;
}

void CMPlayer::ForgetSeek() {
    m_pSeekGraph = nullptr;
    m_bSeekPending = false;
}

void CMPlayer::WatchSeek() {
    if (!IsSeeking()) {
        ForgetSeek();
        return;
    }
    const bool bLanded =
        gst_element_get_state(m_pGraph, nullptr, nullptr, 0) != GST_STATE_CHANGE_ASYNC;
    if (!bLanded &&
        std::chrono::steady_clock::now() - m_seekBegan < std::chrono::nanoseconds(SEEK_TIMEOUT)) {
        WatchSeekIn(SEEK_POLL_MS);
        return;
    }
    const bool bPending = m_bSeekPending;
    ForgetSeek();
    if (bPending && m_nMediaState == MS_LOADED)
        StartSeek(m_nSeekTarget);
}

void CMPlayer::WatchSeekIn(int nMs) {
    std::weak_ptr<char> alive = m_pAlive;
    QTimer::singleShot(nMs, qApp, [this, alive] {
        if (alive.lock())
            WatchSeek();
    });
}

void CMPlayer::StartSeek(uint32_t nMs) {
    const int nSaved = m_nPlayState;
    m_nPlayState = PS_SEEKING;
    // A jump may bring the end near before the follower was due to be prepared.
    if (m_prepareTimer.isActive())
        PrepareSuccessor();
    // The end the follower waits for moves with the seek.
    ArmSuccessor();
    CollectFrameStats();
    const gint64 nTime = gint64(uint64_t(nMs) * GST_MSECOND);
    if (m_pTiming)
        m_pTiming->Seek(m_nTimingId, m_pGraph, nTime);
    else
        gst_element_seek_simple(m_pGraph, GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), nTime);
    m_nPlayState = nSaved;
    ArmSuccessor();
    m_pSeekGraph = m_pGraph;
    m_bSeekPending = false;
    m_seekBegan = std::chrono::steady_clock::now();
    WatchSeekIn(SEEK_POLL_MS);
}

int CMPlayer::GetDuration() {
    if (m_nMediaState != MS_LOADED || !m_bTimeFormatOK || m_bStill)
        return 0;
    if (m_bHalted)
        return m_nHaltedDuration; // a pipeline put back to READY knows no length
    gint64 nTime = 0;
    // A parsed audio stream such as MP3 knows its length only after it has played a while.
    if (!gst_element_query_duration(m_pGraph, GST_FORMAT_TIME, &nTime))
        nTime = HasVideo() || !HasAudio() ? -1 : CLengthEstimate::FromBitrate(m_pGraph);
    if (nTime < 0)
        return 0;
    return int(nTime / gint64(GST_MSECOND));
}

int CMPlayer::GetPosition() {
    if (m_nMediaState != MS_LOADED || !m_bTimeFormatOK)
        return 0;
    // Where it goes: as after a seek that was waited for.
    if (IsSeeking())
        return int(m_nSeekTarget);
    gint64 nTime = 0;
    if (!gst_element_query_position(m_pGraph, GST_FORMAT_TIME, &nTime) || nTime < 0)
        return 0;
    return int(nTime / gint64(GST_MSECOND));
}

bool CMPlayer::ReRequestIVideoWindow() {
    if (m_bVideoWindow)
        return true;
    if (!m_pGraph)
        return LogResult(1, "No pipeline to show a video of",
                         "CMPlayer::ReRequestIVideoWindow(): \n");
    m_bVideoWindow = true;
    return true;
}

void CMPlayer::SetVideoOwner(QWidget *pOwner) {
    m_pVideoOwner = pOwner;
    if (ReRequestIVideoWindow())
        m_window.SetOwner(pOwner);
}

void CMPlayer::SetMessageDrain(QWidget *pDrain) {
    if (m_bVideoWindow)
        m_window.SetDrain(pDrain);
}

bool CMPlayer::HasVideo() const {
    GstElement *pRenderer = m_pOutput->GetRenderer();
    if (!pRenderer)
        return false;
    GstPad *pPad = gst_element_get_static_pad(pRenderer, "sink");
    if (!pPad)
        return false;
    GstCaps *pCaps = gst_pad_get_current_caps(pPad);
    gst_object_unref(pPad);
    if (!pCaps)
        return false;
    gst_caps_unref(pCaps);
    return true;
}

bool CMPlayer::HasAudio() const {
    if (!m_pGraph)
        return false;
    gint nAudio = 0;
    g_object_get(m_pGraph, "n-audio", &nAudio, nullptr);
    return nAudio > 0;
}

void CMPlayer::ShowVideo(bool bShow) {
    if (m_nMediaState != MS_LOADED || !HasVideo())
        return;
    if (ReRequestIVideoWindow())
        m_window.Show(bShow);
}

QRect CMPlayer::FitVideoRect(const QRect &box, int nVideoWidth, int nVideoHeight) {
    const int W = box.width(), H = box.height();
    // Single precision on purpose: it fixes every rectangle to the pixel (a box of exactly the
    // video's shape loses a pixel of height), and a wider type would move pictures by a pixel
    // against layouts made with these rectangles.
    const float a = float(double(nVideoWidth) / double(nVideoHeight));
    int nLeft = box.left(), nTop = box.top(), w, h;
    if (double(W) / double(H) < double(a)) {
        w = W;
        h = int(double(W) / double(a));
        nTop += (H - h) / 2;
    } else {
        h = H;
        w = int(double(H) * double(a));
        nLeft += (W - w) / 2;
    }
    return QRect(nLeft, nTop, w, h);
}

void CMPlayer::SetVideoRect(const QRect &box) {
    if (box.width() <= 0 || box.height() <= 0 || m_nMediaState != MS_LOADED)
        return;
    const int vw = GetVideoWidth(), vh = GetVideoHeight();
    if (vw == 0 || vh == 0)
        return;
    if (!ReRequestIVideoWindow() || !m_window.Place(FitVideoRect(box, vw, vh)))
        return;
    // A running pipeline renegotiates with its next frame; a paused one has no next frame,
    // so its current one is decoded again at the new size.
    if (m_nPlayState != PS_PLAYING && !m_bStopPending && m_bTimeFormatOK &&
        !m_bFirstFrameDeferred) {
        gint64 nTime = 0;
        CollectFrameStats();
        if (gst_element_query_position(m_pGraph, GST_FORMAT_TIME, &nTime) && nTime >= 0 &&
            gst_element_seek_simple(m_pGraph, GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                    nTime) &&
            m_window.IsHidden())
            // About to be shown (a player switch): the picture must be there at its new size,
            // not the old one with black around it.
            WaitForSeek();
    }
}

QRect CMPlayer::GetVideoRect() {
    if (!m_pGraph)
        return QRect();
    // Media without a picture shows none, whatever the widget last held.
    if (!ReRequestIVideoWindow() || m_nMediaState != MS_LOADED || !HasVideo())
        return QRect(0, 0, 0, 0);
    return m_window.Geometry();
}

int CMPlayer::GetVideoWidth() {
    return m_pGraph ? m_nNativeWidth : 0;
}
int CMPlayer::GetVideoHeight() {
    return m_pGraph ? m_nNativeHeight : 0;
}

QWidget *CMPlayer::GetVideoWidget() const {
    return m_window.Widget();
}
int CMPlayer::GetDeliveredFrames() const {
    return m_pOutput->GetDeliveredFrames();
}

long CMPlayer::GetEvent(long &lEventCode, long &lParam1, long &lParam2) {
    CGraphEventQueue::Event event;
    do {
        if (!m_pMediaEvent || !m_pMediaEvent->Pop(event))
            return -1;
        // The medium an open under way replaces ends unseen, as if it had gone already. A
        // failing source fails the elements behind it too, and each posts its error: the player
        // stops once, and tells once.
    } while ((m_pOpening && event.lCode == EC_COMPLETE) ||
             (event.lCode == EC_ERRORABORT && m_bHalted));
    lEventCode = event.lCode;
    lParam1 = event.lParam1;
    lParam2 = event.lParam2;
    if (event.lCode == EC_ERRORABORT && m_nMediaState == MS_LOADED) {
        Halt(event.strText);
    } else if (event.lCode == EC_COMPLETE) {
        LogEarlyEnd();
        LogFrameStats();
        // The same file followed itself (repeat): it simply goes on as the current medium.
        if (m_pSuccessor && m_pSuccessor->HasStarted() && m_pSuccessor->GetPath() == m_strFilePath)
            TakeOver(std::move(m_pSuccessor), false, true);
    }
    return 0;
}

void CMPlayer::Halt(const std::string &strError) {
    m_nHaltedDuration = GetDuration();
    const QByteArray message =
        ("GetEvent(): " + LogPrefix() + ": playback stopped by an error\n").toUtf8();
    LogResult(2, strError.c_str(), message.constData());
    // While the sink still counts: leaving PLAYING starts its counters again.
    LogFrameStats();
    // It stays loaded, so Play may try again.
    gst_element_set_state(m_pGraph, GST_STATE_READY);
    m_bHalted = true;
    m_nPlayState = PS_STOPPED;
    m_bStopPending = false;
    ArmSuccessor();
}

void CMPlayer::LogEarlyEnd() {
    constexpr int kToleranceMs = 1000;
    const int nDuration = GetDuration();
    const int nPosition = GetPosition();
    if (nDuration - nPosition <= kToleranceMs)
        return;
    const auto format = [](int nMs) {
        return QString::asprintf("%d:%02d:%02d", nMs / 3600000, nMs / 60000 % 60, nMs / 1000 % 60);
    };
    LogMsg("CMPlayer::GetEvent(): %s ended at %s of %s\n", LogPrefix().toUtf8().constData(),
           qPrintable(format(nPosition)), qPrintable(format(nDuration)));
}

bool CMPlayer::Mute(bool bMute) {
    if (!m_pGraph)
        return false;
    if (bMute) {
        const long v = GetVolume();
        if (v > 0 || v == VOLUME_SILENT)
            return false;
        m_lMutedVolume = v;
        SetVolume(VOLUME_SILENT);
        return true;
    }
    SetVolume(m_lMutedVolume);
    return true;
}

void CMPlayer::SetVolume(long lVolume) {
    if (!m_pGraph || lVolume < VOLUME_SILENT || lVolume > 0)
        return;
    const double dLinear =
        lVolume == VOLUME_SILENT ? 0.0 : std::pow(10.0, double(lVolume) / 2000.0);
    g_object_set(m_pGraph, "volume", dLinear, nullptr);
    for (CSuccessorGraph *pPrepared : {m_pSuccessor.get(), m_pOpening.get()})
        if (pPrepared)
            pPrepared->SetVolume(dLinear);
    m_lVolume = lVolume;
}

long CMPlayer::GetVolume() {
    if (!m_pGraph || !HasAudio())
        return VOLUME_UNKNOWN;
    double dLinear = 0.0;
    g_object_get(m_pGraph, "volume", &dLinear, nullptr);
    if (dLinear <= 0.0)
        return VOLUME_SILENT;
    const long v = std::lround(2000.0 * std::log10(dLinear));
    return std::clamp(v, VOLUME_SILENT, 0L);
}

void CMPlayer::SetBalance(long lBalance) {
    if (!m_pPanorama || lBalance < -10000 || lBalance > 10000)
        return;
    g_object_set(m_pPanorama, "panorama", gfloat(double(lBalance) / 10000.0), nullptr);
    for (CSuccessorGraph *pPrepared : {m_pSuccessor.get(), m_pOpening.get()})
        if (pPrepared)
            pPrepared->SetBalance(lBalance);
    m_lBalance = lBalance;
}

void CMPlayer::SetFadeGain(double dGain) {
    m_dFadeGain = dGain;
    CPipelineBuilder::SetFadeGain(m_pPanorama, dGain);
}

void CMPlayer::SetPictureLevel(double dOpacity, double dWipeEdge) {
    m_window.SetLevel(dOpacity, dWipeEdge);
}

long CMPlayer::GetBalance() {
    if (!m_pPanorama || !HasAudio())
        return 0;
    gfloat fPanorama = 0.0f;
    g_object_get(m_pPanorama, "panorama", &fPanorama, nullptr);
    return std::lround(double(fPanorama) * 10000.0);
}

void CMPlayer::SetNextMedium(const QString &strPath) {
    // Once started the follower is on its way; the step that comes decides what happens. An
    // open under way replaces the medium a follower would follow.
    if (m_pOpening || strPath == m_strNextPath || (m_pSuccessor && m_pSuccessor->HasStarted()))
        return;
    m_strNextPath = strPath;
    DisposeGraph(m_pSuccessor);
    m_prepareTimer.stop();
    if (strPath.isEmpty() || m_nMediaState != MS_LOADED || !m_pGraph || m_bStill)
        return;
    const int nDuration = GetDuration(), nLeft = nDuration - GetPosition();
    if (nDuration > 0 && nLeft >= PREPARE_AT_ONCE_BELOW_MS)
        m_prepareTimer.start();
    else
        PrepareSuccessor();
}

void CMPlayer::PrepareSuccessor() {
    m_prepareTimer.stop();
    // A still picture never ends, so nothing can follow it.
    if (m_strNextPath.isEmpty() || m_pSuccessor || m_pOpening || m_nMediaState != MS_LOADED ||
        !m_pGraph || m_bStill)
        return;
    m_pSuccessor = CSuccessorGraph::Prepare(m_strNextPath, *m_pOutput, MakeAudioSink(), m_pGraph,
                                            m_pEndWatch, LinearVolume(), m_lBalance);
    if (m_pTiming && m_pSuccessor)
        m_pTiming->Prepared(m_pSuccessor->GetPipeline());
    ArmSuccessor();
}

void CMPlayer::ArmSuccessor() {
    const bool bPlaying = m_nPlayState == PS_PLAYING || m_bStopPending;
    // One that already shows cannot be taken back: it goes, and the step opens anew.
    if (m_pSuccessor && !m_pSuccessor->SetArmed(bPlaying))
        DisposeGraph(m_pSuccessor);
}

bool CMPlayer::TakeOver(std::unique_ptr<CSuccessorGraph> pSuccessor, bool bAnnounceAsOpened,
                        bool bWaitForFrame) {
    m_strNextPath.clear();
    std::string strError;
    // One still prerolling had a head start; one that failed leaves the open to report it.
    if (!pSuccessor->HasStarted() && !pSuccessor->WaitPreroll(PREROLL_TIMEOUT_MS, strError)) {
        DisposeGraph(pSuccessor);
        return false;
    }
    const QString strPath = pSuccessor->GetPath();
    const int nPlayState = m_nPlayState;
    // Nothing starts the follower any more; the old sink lets go of the widget before its
    // pipeline goes, and the picture stays in it.
    CSuccessorGraph::Parts parts = pSuccessor->Release();
    m_pOutput->AdoptSuccessorSink();
    // One that ended stays quiet until it goes.
    DropPipeline(parts.bStarted ? ENDED_TEARDOWN_DELAY : std::chrono::milliseconds(0));
    m_bHalted = false;
    m_pGraph = parts.pPlaybin;
    m_pPanorama = parts.pPanorama;
    CPipelineBuilder::SetFadeGain(m_pPanorama, m_dFadeGain);
    m_pMediaEvent = std::move(parts.pEvents);
    m_pEndWatch = std::move(parts.pEndWatch);
    m_pMediaEvent->SetNotify(m_notify);
    m_pMediaEvent->Arm();
    m_bStill = parts.bStill;
    m_nFramesShown = m_nFramesDropped = 0;
    m_bFramesToReport = false;
    if (m_pTiming)
        m_pTiming->Continued(m_nTimingId, m_pGraph, parts.bStarted);

    if (bAnnounceAsOpened) {
        m_nMediaState = MS_OPENING;
        BuildTitle(strPath);
        FinishOpen();
    } else {
        ReadNativeSize();
        m_bFramesToReport = nPlayState == PS_PLAYING;
    }
    if (!HasVideo())
        m_window.Hide(); // as after any open of media without a picture
    // A follower joining a running picture: frame 0 would show for the moment until its
    // plan's frame does, so nothing new shows until then.
    m_bFirstFrameDeferred =
        !parts.bStarted && m_pTiming && m_pTiming->DefersFirstFrame(m_nTimingId);
    if (m_bFirstFrameDeferred)
        return true;
    if (!parts.bStarted) {
        // It waited, unseen, at its first frame; seeking there shows it.
        gst_element_seek_simple(m_pGraph, GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), 0);
        if (bWaitForFrame)
            WaitForSeek();
        return true;
    }
    if (bAnnounceAsOpened)
        m_bStopPending = true; // opened means stopped; the Play of the step follows at once
    m_bTookOver = true;
    // After this UI turn, a Stop that no Play followed really stops.
    std::weak_ptr<char> alive = m_pAlive;
    QTimer::singleShot(0, qApp, [this, alive] {
        if (alive.lock())
            Settle();
    });
    return true;
}

void CMPlayer::Settle() {
    m_bTookOver = false;
    if (m_bStopPending)
        Stop();
}

QString CMPlayer::LogPrefix() const {
    return m_strName.isEmpty() ? GetFileName() : m_strName + ": " + GetFileName();
}

// A flushing seek or leaving PLAYING starts the sink's counters again, so they are added up
// before each.
void CMPlayer::CollectFrameStats() {
    guint64 nRendered = 0, nDropped = 0;
    if (!HasVideo() || !CVideoOutput::ReadSinkStats(m_pOutput->GetRenderer(), nRendered, nDropped))
        return;
    m_nFramesShown += nRendered;
    m_nFramesDropped += nDropped;
}

void CMPlayer::LogFrameStats() {
    // A still picture is drawn again and again; only moving media have frames to count.
    if (!m_bFramesToReport || m_bStill || !HasVideo())
        return;
    CollectFrameStats();
    m_bFramesToReport = false;
    LogMsg("%s: %llu frames shown, %llu dropped.\n", LogPrefix().toUtf8().constData(),
           static_cast<unsigned long long>(m_nFramesShown),
           static_cast<unsigned long long>(m_nFramesDropped));
    m_nFramesShown = m_nFramesDropped = 0;
}
