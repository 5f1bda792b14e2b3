#include "playback/CMPlayer.h"

#include "core/CLogBook.h"
#include "playback/CGraphEventQueue.h"
#include "playback/CGstVersionSource.h"
#include "playback/CId3Tag.h"
#include "playback/CVideoFrameSlot.h"
#include "playback/CVideoWidget.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <gst/app/gstappsink.h>
#include <gst/base/gsttypefindhelper.h>
#include <sys/stat.h>

namespace {

// Bounds the UI thread's wait for media that neither prerolls nor fails; any error ends it early.
constexpr int PREROLL_TIMEOUT_MS = 3000;
constexpr GstClockTime SEEK_TIMEOUT = 3 * GST_SECOND;
constexpr long VOLUME_SILENT = -10000;

// Whole-file bitmaps reach the decoder in chunks, which the libav bitmap decoder cannot
// handle; the pixbuf decoder collects the whole file first. Its rank is raised just enough
// to win over the libav one, so the primary JPEG and PNG decoders keep their place.
void PrepareRegistry() {
    static bool s_bDone = false;
    if (s_bDone)
        return;
    s_bDone = true;
    GstRegistry *pRegistry = gst_registry_get();
    GstPluginFeature *pPixbuf = gst_registry_lookup_feature(pRegistry, "gdkpixbufdec");
    if (!pPixbuf)
        return;
    GstPluginFeature *pBmp = gst_registry_lookup_feature(pRegistry, "avdec_bmp");
    guint nRank = pBmp ? gst_plugin_feature_get_rank(pBmp) + 1 : guint(GST_RANK_MARGINAL);
    if (gst_plugin_feature_get_rank(pPixbuf) < nRank)
        gst_plugin_feature_set_rank(pPixbuf, nRank);
    if (pBmp)
        gst_object_unref(pBmp);
    gst_object_unref(pPixbuf);
}

GstFlowReturn OnNewSample(GstAppSink *pSink, gpointer pData) {
    GstSample *pSample = gst_app_sink_pull_sample(pSink);
    if (pSample) {
        (*static_cast<std::shared_ptr<CVideoFrameSlot> *>(pData))->Put(pSample);
        gst_sample_unref(pSample);
    }
    return GST_FLOW_OK;
}

GstFlowReturn OnNewPreroll(GstAppSink *pSink, gpointer pData) {
    GstSample *pSample = gst_app_sink_pull_preroll(pSink);
    if (pSample) {
        (*static_cast<std::shared_ptr<CVideoFrameSlot> *>(pData))->Put(pSample);
        gst_sample_unref(pSample);
    }
    return GST_FLOW_OK;
}

void ReleaseSlotHolder(gpointer pData) {
    delete static_cast<std::shared_ptr<CVideoFrameSlot> *>(pData);
}

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

CMPlayer::CMPlayer() : m_pFrameSlot(std::make_shared<CVideoFrameSlot>()) {
    GError *pError = nullptr;
    if (!gst_is_initialized() && !gst_init_check(nullptr, nullptr, &pError)) {
        LogResult(2, pError ? pError->message : "GStreamer could not be initialised", nullptr);
        g_clear_error(&pError);
        return;
    }
    PrepareRegistry();
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

// Without a sound device (CI machines, a headless show PC) audio still has to run on the
// clock, so that the end of the media comes on time: a synchronised fake sink stands in.
GstElement *CMPlayer::MakeAudioSink() {
    static int s_nRealOutput = -1;
    if (s_nRealOutput < 0) {
        s_nRealOutput = 0;
        GstElement *pProbe = gst_element_factory_make("autoaudiosink", nullptr);
        if (pProbe) {
            gst_object_ref_sink(pProbe);
            if (gst_element_set_state(pProbe, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS) {
                GstIterator *pIt = gst_bin_iterate_elements(GST_BIN(pProbe));
                GValue item = G_VALUE_INIT;
                while (gst_iterator_next(pIt, &item) == GST_ITERATOR_OK) {
                    GstElementFactory *pFactory =
                        gst_element_get_factory(GST_ELEMENT(g_value_get_object(&item)));
                    const char *pszName =
                        pFactory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(pFactory)) : "";
                    if (!g_str_has_prefix(pszName, "fake"))
                        s_nRealOutput = 1;
                    g_value_reset(&item);
                }
                g_value_unset(&item);
                gst_iterator_free(pIt);
            }
            gst_element_set_state(pProbe, GST_STATE_NULL);
            gst_object_unref(pProbe);
        }
    }
    if (s_nRealOutput)
        return gst_element_factory_make("autoaudiosink", nullptr);
    GstElement *pSink = gst_element_factory_make("fakesink", nullptr);
    if (pSink)
        g_object_set(pSink, "sync", TRUE, nullptr);
    return pSink;
}

bool CMPlayer::Init(QWidget *pOwner) {
    ReleaseGraph();
    m_pGraph = gst_element_factory_make("playbin", nullptr);
    if (!m_pGraph) {
        CGstVersionSource::ReportMissingElement("playbin");
        return LogResult(2, "No playbin element", "Init: CoCreateInstance() failed\n");
    }
    gst_object_ref_sink(m_pGraph);

    m_pMediaEvent = std::make_shared<CGraphEventQueue>();
    m_pMediaEvent->Attach(m_pGraph);
    m_pMediaEvent->SetNotifyWindow(pOwner);

    GstElement *pAudioSink = MakeAudioSink();
    if (pAudioSink)
        g_object_set(m_pGraph, "audio-sink", pAudioSink, nullptr);
    m_pPanorama = gst_element_factory_make("audiopanorama", nullptr);
    if (!m_pPanorama) {
        CGstVersionSource::ReportMissingElement("audiopanorama");
        return LogResult(2, "No audiopanorama element",
                         "Init: QueryInterface(IID_IBasicAudio) failed\n");
    }
    gst_object_ref_sink(m_pPanorama);
    g_object_set(m_pGraph, "audio-filter", m_pPanorama, nullptr);

    m_lVolume = GetVolume();
    m_lBalance = GetBalance();
    if (!InitGrabberFilter())
        return false;
    m_pOwnerWnd = pOwner;
    SetVideoOwner(pOwner);
    return true;
}

bool CMPlayer::InitGrabberFilter() {
    GstElement *pConvert = gst_element_factory_make("videoconvert", nullptr);
    GstElement *pScale = gst_element_factory_make("videoscale", nullptr);
    GstElement *pAppSink = gst_element_factory_make("appsink", nullptr);
    if (!pConvert || !pScale || !pAppSink) {
        for (GstElement *p : {pConvert, pScale, pAppSink})
            if (p)
                gst_object_unref(gst_object_ref_sink(p));
        if (!pConvert)
            CGstVersionSource::ReportMissingElement("videoconvert");
        if (!pScale)
            CGstVersionSource::ReportMissingElement("videoscale");
        if (!pAppSink)
            CGstVersionSource::ReportMissingElement("appsink");
        return LogResult(1, "No videoconvert, videoscale or appsink element",
                         "InitGrabberFilter: CoCreateInstance(IID_IBaseFilter) failed\n");
    }
    m_pVideoSink = gst_bin_new("tessaro-video-sink");
    gst_object_ref_sink(m_pVideoSink);
    m_pAppSink = GST_ELEMENT(gst_object_ref(pAppSink));
    gst_bin_add_many(GST_BIN(m_pVideoSink), pConvert, pScale, pAppSink, nullptr);
    GstPad *pSinkPad = gst_element_get_static_pad(pConvert, "sink");
    bool bLinked = gst_element_link_many(pConvert, pScale, pAppSink, nullptr) &&
                   gst_element_add_pad(m_pVideoSink, gst_ghost_pad_new("sink", pSinkPad));
    gst_object_unref(pSinkPad);
    if (!bLinked)
        return LogResult(1, "The video sink could not be linked",
                         "InitGrabberFilter: AddFilter(IID_ISampleGrabber) failed\n");

    const int nDepth = GetScreenDepth();
    if (nDepth != 8 && nDepth != 16 && nDepth != 24 && nDepth != 32)
        return false;

    // Frames are painted as they come; keeping more than the newest one only adds latency.
    g_object_set(pAppSink, "sync", TRUE, "max-buffers", 1, "drop", TRUE, "enable-last-sample",
                 FALSE, "qos", TRUE, nullptr);
    m_scaledSize = QSize();
    ApplyVideoCaps(0, 0);
    GstAppSinkCallbacks callbacks = {};
    callbacks.new_preroll = &OnNewPreroll;
    callbacks.new_sample = &OnNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(pAppSink), &callbacks,
                               new std::shared_ptr<CVideoFrameSlot>(m_pFrameSlot),
                               &ReleaseSlotHolder);
    g_object_set(m_pGraph, "video-sink", m_pVideoSink, nullptr);
    return true;
}

// Width and height 0: the native size. Scaling happens in videoscale, never in the widget.
void CMPlayer::ApplyVideoCaps(int nWidth, int nHeight) {
    if (!m_pAppSink)
        return;
    GstCaps *pCaps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx",
                                         "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    if (nWidth > 0 && nHeight > 0)
        gst_caps_set_simple(pCaps, "width", G_TYPE_INT, nWidth, "height", G_TYPE_INT, nHeight,
                            nullptr);
    g_object_set(m_pAppSink, "caps", pCaps, nullptr);
    gst_caps_unref(pCaps);
    GstPad *pPad = gst_element_get_static_pad(m_pAppSink, "sink");
    gst_pad_push_event(pPad, gst_event_new_reconfigure());
    gst_object_unref(pPad);
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
    Unref(m_pAppSink);
    Unref(m_pVideoSink);
    Unref(m_pGraph);
    m_pFrameSlot->Clear();
    m_nMediaState = MS_NONE;
    m_nPlayState = PS_STOPPED;
    m_bTimeFormatOK = false;
    m_bStill = false;
    m_nNativeWidth = m_nNativeHeight = 0;
    m_scaledSize = QSize();
    m_nFramesShown = m_nFramesDropped = 0;
    m_bFramesToReport = false;
}

bool CMPlayer::IsStillImage(const QByteArray &head) {
    if (head.isEmpty())
        return false;
    GstCaps *pCaps = gst_type_find_helper_for_data(
        nullptr, reinterpret_cast<const guint8 *>(head.constData()), gsize(head.size()), nullptr);
    if (!pCaps)
        return false;
    bool bImage =
        !gst_caps_is_empty(pCaps) &&
        g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(pCaps, 0)), "image/");
    gst_caps_unref(pCaps);
    return bImage;
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
    QFile file(strPath);
    if (file.open(QIODevice::ReadOnly))
        m_bStill = IsStillImage(file.read(4096));
    file.close();
    // A still picture would otherwise end at once; frozen, it stays until stopped.
    if (m_bStill) {
        GstElement *pFreeze = gst_element_factory_make("imagefreeze", nullptr);
        if (pFreeze)
            g_object_set(m_pGraph, "video-filter", pFreeze, nullptr);
    }
    GError *pError = nullptr;
    gchar *pszUri = gst_filename_to_uri(QFile::encodeName(strPath).constData(), &pError);
    if (!pszUri) {
        strError = pError ? pError->message : "Invalid file name";
        g_clear_error(&pError);
        return false;
    }
    g_object_set(m_pGraph, "uri", pszUri, nullptr);
    g_free(pszUri);

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
    if (!gst_element_query_duration(m_pGraph, GST_FORMAT_TIME, &nTime))
        nTime = EstimateDuration();
    if (nTime < 0)
        return 0;
    return int(nTime / gint64(GST_MSECOND));
}

// A parsed audio stream such as MP3 knows its length only after it has played a while, yet the
// playlist probe never plays. A constant bit rate gives the length from the file size.
gint64 CMPlayer::EstimateDuration() const {
    if (HasVideo() || !HasAudio())
        return -1;
    GstTagList *pTags = nullptr;
    g_signal_emit_by_name(m_pGraph, "get-audio-tags", 0, &pTags);
    guint nBitrate = 0;
    if (pTags) {
        gst_tag_list_get_uint(pTags, GST_TAG_NOMINAL_BITRATE, &nBitrate);
        gst_tag_list_unref(pTags);
    }
    gint64 nBytes = 0;
    if (nBitrate == 0 || !gst_element_query_duration(m_pGraph, GST_FORMAT_BYTES, &nBytes) ||
        nBytes <= 0)
        return -1;
    return gint64(gst_util_uint64_scale(guint64(nBytes), 8 * GST_SECOND, nBitrate));
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
        m_pVideoWidget = new CVideoWidget(m_pFrameSlot, pOwner);
        m_pVideoWidget->hide();
        m_pVideoWidget->setGeometry(0, 0, 0, 0); // placed by SetVideoRect only
    } else if (m_pVideoWidget->parentWidget() != pOwner) {
        // Reparenting hides a widget; a shown video stays shown in its new owner.
        const bool bShown = !m_pVideoWidget->isHidden();
        m_pVideoWidget->setParent(pOwner);
        if (bShown && pOwner)
            m_pVideoWidget->show();
    }
    m_pVideoWidget->SetMessageDrain(pOwner);
}

void CMPlayer::SetMessageDrain(QWidget *pDrain) {
    if (m_bVideoWindow && m_pVideoWidget)
        m_pVideoWidget->SetMessageDrain(pDrain);
}

bool CMPlayer::HasVideo() const {
    if (!m_pAppSink)
        return false;
    GstPad *pPad = gst_element_get_static_pad(m_pAppSink, "sink");
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
    if (m_nMediaState != MS_LOADED || !m_pAppSink || !HasVideo())
        return;
    if (!ReRequestIVideoWindow() || !m_pVideoWidget)
        return;
    m_pVideoWidget->setVisible(bShow);
    if (bShow)
        m_pVideoWidget->raise();
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
    ApplyVideoCaps(scaled.width(), scaled.height());
    // A running pipeline renegotiates with its next frame; a paused one has no next frame,
    // so its current one is decoded again at the new size.
    if (m_nPlayState != PS_PLAYING && m_bTimeFormatOK) {
        gint64 nTime = 0;
        CollectFrameStats();
        if (gst_element_query_position(m_pGraph, GST_FORMAT_TIME, &nTime) && nTime >= 0)
            gst_element_seek_simple(m_pGraph, GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                    nTime);
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
    return m_pFrameSlot->GetDeliveredCount();
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
    GstElement *pSink = m_pAppSink;
    if (!pSink || !HasVideo())
        return;
    GstStructure *pStats = nullptr;
    g_object_get(pSink, "stats", &pStats, nullptr);
    if (!pStats)
        return;
    guint64 nRendered = 0, nDropped = 0;
    gst_structure_get_uint64(pStats, "rendered", &nRendered);
    gst_structure_get_uint64(pStats, "dropped", &nDropped);
    gst_structure_free(pStats);
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
