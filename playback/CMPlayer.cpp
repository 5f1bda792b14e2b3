#include "playback/CMPlayer.h"

#include "core/CLogBook.h"
#include "playback/CDecoderRanks.h"
#include "playback/CGraphEventQueue.h"
#include "playback/CHeapTrim.h"
#include "playback/CId3Tag.h"
#include "playback/CLengthEstimate.h"
#include "playback/CPipelineBuilder.h"
#include "playback/CStillImageDetector.h"
#include "playback/CVideoOutput.h"
#include "playback/CVideoWidget.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

namespace {

// Bounds the UI thread's wait for media that neither prerolls nor fails; any error ends it early.
constexpr int PREROLL_TIMEOUT_MS = 3000;
constexpr GstClockTime SEEK_TIMEOUT = 3 * GST_SECOND;
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

CMPlayer::CMPlayer() : m_pOutput(CVideoOutput::Create("auto", "")) {
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
    delete m_pVideoWidget.data();
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

void CMPlayer::SetVideoOutput(std::unique_ptr<CVideoOutput> pOutput) {
    ReleaseGraph();
    // The widget belongs to the output it was made by.
    delete m_pVideoWidget.data();
    m_pOutput = std::move(pOutput);
}

const char *CMPlayer::GetVideoOutputName() const {
    return m_pOutput->GetName();
}

bool CMPlayer::Init(QWidget *pOwner) {
    ReleaseGraph();
    m_pGraph = CPipelineBuilder::MakePlaybin();
    if (!m_pGraph)
        return LogResult(2, "No playbin element", "Init: CoCreateInstance() failed\n");

    m_pMediaEvent = std::make_shared<CGraphEventQueue>();
    m_pMediaEvent->Attach(m_pGraph);
    m_pMediaEvent->SetNotifyWindow(pOwner);

    m_pPanorama = CPipelineBuilder::AddBalanceFilter(m_pGraph);
    if (!m_pPanorama)
        return LogResult(2, "No audiopanorama element",
                         "Init: QueryInterface(IID_IBasicAudio) failed\n");

    m_lVolume = GetVolume();
    m_lBalance = GetBalance();
    if (!InitGrabberFilter())
        return false;
    m_pOwnerWnd = pOwner;
    SetVideoOwner(pOwner);
    return true;
}

bool CMPlayer::InitGrabberFilter() {
    bool bSink = CPipelineBuilder::SetVideoSink(m_pGraph, *m_pOutput);
    // A sink that cannot draw here (not installed, misnamed in the settings) still leaves the
    // frames, which need nothing beyond GStreamer's base elements.
    if (!bSink && strcmp(m_pOutput->GetName(), "frames") != 0) {
        LogMsg("CMPlayer::InitGrabberFilter(): no %s video output, showing frames instead\n",
               m_pOutput->GetName());
        delete m_pVideoWidget.data();
        m_pOutput = CVideoOutput::Create("frames", "");
        bSink = CPipelineBuilder::SetVideoSink(m_pGraph, *m_pOutput);
    }
    if (!bSink)
        return LogResult(1, "The video sink could not be made",
                         "InitGrabberFilter: CoCreateInstance(IID_IBaseFilter) failed\n");
    m_scaledSize = QSize();
    const int nDepth = GetScreenDepth();
    return nDepth == 8 || nDepth == 16 || nDepth == 24 || nDepth == 32;
}

void CMPlayer::ReleaseGraph() {
    if (m_pGraph)
        gst_element_set_state(m_pGraph, GST_STATE_NULL);
    if (m_pMediaEvent) {
        m_pMediaEvent->SetNotifyWindow(nullptr);
        m_pMediaEvent->Detach();
        m_pMediaEvent.reset();
    }
    if (m_bVideoWindow) {
        if (m_pVideoWidget) {
            m_pVideoWidget->hide();
            m_pVideoWidget->setParent(nullptr);
        }
        m_bVideoWindow = false;
    }
    Unref(m_pPanorama);
    Unref(m_pGraph);
    m_pOutput->ReleaseSink();
    CHeapTrim::AfterRelease();
    m_nMediaState = MS_NONE;
    m_nPlayState = PS_STOPPED;
    m_bTimeFormatOK = false;
    m_bStill = false;
    m_nNativeWidth = m_nNativeHeight = 0;
    m_scaledSize = QSize();
    m_nFramesShown = m_nFramesDropped = 0;
    m_bFramesToReport = false;
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
    // A named pipe, a device or a socket would block the reader (and the UI thread with it)
    // or never end; only regular files are media.
    struct stat info = {};
    if (::stat(QFile::encodeName(strPath).constData(), &info) != 0) {
        strError = strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        strError = "Not a regular file";
        return false;
    }
    m_bStill = CStillImageDetector::IsStillImageFile(strPath);
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
    // Every file gets a fresh pipeline. A pipeline that failed to initialise is never
    // rendered into: it may lack our video sink and would open a window of its own.
    const bool bReady = Init(m_pOwnerWnd);
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
    m_nMediaState = MS_LOADED;
    m_nPlayState = PS_STOPPED;

    if (HasVideo()) {
        GstPad *pPad = nullptr;
        g_signal_emit_by_name(m_pGraph, "get-video-pad", 0, &pPad);
        if (pPad) {
            GstCaps *pCaps = gst_pad_get_current_caps(pPad);
            if (pCaps) {
                GstStructure *pStruct = gst_caps_get_structure(pCaps, 0);
                gst_structure_get_int(pStruct, "width", &m_nNativeWidth);
                gst_structure_get_int(pStruct, "height", &m_nNativeHeight);
                gst_caps_unref(pCaps);
            }
            gst_object_unref(pPad);
        }
    }

    if (m_bStill || IsTimeSeekable()) {
        m_bTimeFormatOK = true;
    } else {
        LogMsg("Time format not supported!\n");
        m_bTimeFormatOK = false;
    }
    m_pMediaEvent->Arm();
    SetVolume(m_lVolume);
    SetBalance(m_lBalance);
    return true;
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
    if (gst_element_set_state(m_pGraph, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        Stop();
    } else {
        m_nPlayState = PS_PLAYING;
        m_bFramesToReport = true;
    }
}

void CMPlayer::Pause() {
    if (m_nMediaState != MS_LOADED || !m_pGraph)
        return;
    CollectFrameStats();
    if (gst_element_set_state(m_pGraph, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        Stop();
    else
        m_nPlayState = PS_PAUSED;
}

void CMPlayer::Stop() {
    if (m_nMediaState != MS_LOADED || !m_pGraph)
        return;
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
    const int nSaved = m_nPlayState;
    m_nPlayState = PS_SEEKING;
    CollectFrameStats();
    const gint64 nTime = gint64(uint64_t(nMs) * GST_MSECOND);
    gst_element_seek_simple(m_pGraph, GST_FORMAT_TIME,
                            GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), nTime);
    WaitForSeek();
    m_nPlayState = nSaved;
}

int CMPlayer::GetDuration() {
    if (m_nMediaState != MS_LOADED || !m_bTimeFormatOK || m_bStill)
        return 0;
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
    if (!ReRequestIVideoWindow())
        return;
    if (!m_pVideoWidget) {
        if (!pOwner)
            return;
        m_pVideoWidget = m_pOutput->CreateWidget(pOwner);
        m_pVideoWidget->hide();
        m_pVideoWidget->setGeometry(0, 0, 0, 0); // placed by SetVideoRect only
    } else if (m_pVideoWidget->parentWidget() != pOwner) {
        // Reparenting hides a widget; a shown video stays shown in its new owner.
        const bool bShown = !m_pVideoWidget->isHidden();
        if (pOwner && m_pVideoWidget->testAttribute(Qt::WA_NativeWindow) &&
            !m_pVideoWidget->screen()->virtualSiblings().contains(pOwner->screen())) {
            // X cannot move a native window to another X screen (a display that is not part
            // of the same desktop): the sink gets a new window there.
            const QRect rcVideo = m_pVideoWidget->geometry();
            delete m_pVideoWidget.data();
            m_pVideoWidget = m_pOutput->CreateWidget(pOwner);
            m_pVideoWidget->setGeometry(rcVideo);
        } else {
            m_pVideoWidget->setParent(pOwner);
        }
        if (bShown && pOwner)
            m_pVideoWidget->show();
        m_pOutput->OnWidgetMoved();
    }
    m_pVideoWidget->SetMessageDrain(pOwner);
}

void CMPlayer::SetMessageDrain(QWidget *pDrain) {
    if (m_bVideoWindow && m_pVideoWidget)
        m_pVideoWidget->SetMessageDrain(pDrain);
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
    if (!ReRequestIVideoWindow() || !m_pVideoWidget)
        return;
    m_pVideoWidget->setVisible(bShow);
    if (bShow) {
        m_pVideoWidget->raise();
        m_pOutput->OnWidgetMoved();
    }
}

QRect CMPlayer::FitVideoRect(const QRect &box, int nVideoWidth, int nVideoHeight) {
    const int W = box.width(), H = box.height();
    // The ratio is deliberately kept in single precision: a box of exactly the video's
    // shape then loses a pixel of height, as the placement always has.
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
    const QRect placed = FitVideoRect(box, vw, vh);
    if (!ReRequestIVideoWindow() || !m_pVideoWidget)
        return;
    m_pVideoWidget->setGeometry(placed);
    // Frames come in device pixels, so a high-density screen needs no scaling when painting.
    const qreal dRatio = m_pVideoWidget->devicePixelRatioF();
    const QSize scaled(qRound(placed.width() * dRatio), qRound(placed.height() * dRatio));
    if (scaled == m_scaledSize)
        return;
    m_scaledSize = scaled;
    if (!m_pOutput->SetScaledSize(scaled))
        return;
    // A running pipeline renegotiates with its next frame; a paused one has no next frame,
    // so its current one is decoded again at the new size.
    if (m_nPlayState != PS_PLAYING && m_bTimeFormatOK) {
        gint64 nTime = 0;
        CollectFrameStats();
        if (gst_element_query_position(m_pGraph, GST_FORMAT_TIME, &nTime) && nTime >= 0 &&
            gst_element_seek_simple(m_pGraph, GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                    nTime) &&
            m_pVideoWidget->isHidden())
            // About to be shown (a player switch): the picture must be there at its new size,
            // not the old one with black around it.
            WaitForSeek();
    }
}

QRect CMPlayer::GetVideoRect() {
    if (!m_pGraph)
        return QRect();
    // Media without a picture shows none, whatever the widget last held.
    if (!ReRequestIVideoWindow() || !m_pVideoWidget || m_nMediaState != MS_LOADED || !HasVideo())
        return QRect(0, 0, 0, 0);
    return m_pVideoWidget->geometry();
}

int CMPlayer::GetVideoWidth() {
    return m_pGraph ? m_nNativeWidth : 0;
}
int CMPlayer::GetVideoHeight() {
    return m_pGraph ? m_nNativeHeight : 0;
}

QWidget *CMPlayer::GetVideoWidget() const {
    return m_pVideoWidget;
}
int CMPlayer::GetDeliveredFrames() const {
    return m_pOutput->GetDeliveredFrames();
}

long CMPlayer::GetEvent(long &lEventCode, long &lParam1, long &lParam2) {
    if (!m_pMediaEvent)
        return -1;
    CGraphEventQueue::Event event;
    if (!m_pMediaEvent->Pop(event))
        return -1;
    lEventCode = event.lCode;
    lParam1 = event.lParam1;
    lParam2 = event.lParam2;
    if (event.lCode == EC_ERRORABORT && m_nMediaState == MS_LOADED) {
        // The pipeline cannot go on after an error; it stays loaded so Play may try again.
        gst_element_set_state(m_pGraph, GST_STATE_READY);
        m_nPlayState = PS_STOPPED;
        const QByteArray message =
            ("GetEvent(): " + LogPrefix() + ": playback stopped by an error\n").toUtf8();
        LogResult(2, event.strText.c_str(), message.constData());
    } else if (event.lCode == EC_COMPLETE) {
        LogFrameStats();
    }
    return 0;
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
    m_lBalance = lBalance;
}

long CMPlayer::GetBalance() {
    if (!m_pPanorama || !HasAudio())
        return 0;
    gfloat fPanorama = 0.0f;
    g_object_get(m_pPanorama, "panorama", &fPanorama, nullptr);
    return std::lround(double(fPanorama) * 10000.0);
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
