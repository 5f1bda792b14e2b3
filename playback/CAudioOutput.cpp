#include "playback/CAudioOutput.h"

#include "core/CLogBook.h"
#include "core/CProfile.h"
#include "playback/CAudioDevices.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/controller/gstdirectcontrolbinding.h>
#include <gst/controller/gstinterpolationcontrolsource.h>

#include <QCoreApplication>
#include <atomic>
#include <utility>

namespace {

// The mix runs in one format, whatever the media: the players' sink bins convert to it on
// their own streaming threads.
constexpr const char *MIX_CAPS = "audio/x-raw,format=F32LE,layout=interleaved,rate=48000,"
                                 "channels=2";
constexpr int MAX_SETTING_LENGTH = 1000;
// A sample reaches the mix this long before the mix must play it: room for a busy machine.
constexpr GstClockTime HANDOVER_MARGIN = 80 * GST_MSECOND;
// What the mixer waits for a late player before it plays the others alone.
constexpr GstClockTime MIXER_LATENCY = 20 * GST_MSECOND;
// A route switch lands this far past what the mix has already taken in: longer than any
// decoder's buffer, so both players' routes change on the same sample.
constexpr GstClockTime SWITCH_MARGIN = 150 * GST_MSECOND;
constexpr guint64 MAX_QUEUED_BYTES = 2 * 48000 * 2 * sizeof(float); // two seconds
constexpr GstClockTime START_WAIT = GST_SECOND;
constexpr GstClockTime FINISH_WAIT = GST_SECOND;

// The reader's words for an over-long value of the key nKey names.
const char *const kKeys[] = {"Device", "Sink", "CueDevice", "CueSink"};
template <int nKey> QStringList TooLong(const QString &strValue) {
    if (strValue.trimmed().size() <= MAX_SETTING_LENGTH)
        return {};
    return {QStringLiteral("Audio settings: %1 is longer than %2 characters; it is left out.")
                .arg(QLatin1String(kKeys[nKey]))
                .arg(MAX_SETTING_LENGTH)};
}

QString ReadBounded(CProfile &profile, const char *pszEntry) {
    const CSettingKey &key = CSettingKey::Find(CAudioOutput::Settings::Keys(), pszEntry);
    const QString strValue = key.ReadText(profile);
    const QStringList problems = key.Problems(strValue);
    for (const QString &strLine : problems)
        LogError("%s\n", qPrintable(strLine));
    return problems.isEmpty() ? strValue.trimmed() : QString();
}

GstElement *Make(const char *pszFactory) {
    return gst_element_factory_make(pszFactory, nullptr);
}

// Any thread: the mix's messages. An output that fails while the show runs (a device unplugged,
// a full disc) is named once in the logbook; of the rest only what Start and Stop wait for is
// kept, so a long show's bus never grows.
struct BusWatch {
    QByteArray strOutput;
    std::atomic<bool> bTold{true}; // until the mix has started: a failed start says it itself

    static GstBusSyncReply OnMessage(GstBus *, GstMessage *pMessage, gpointer pData) {
        auto *pWatch = static_cast<BusWatch *>(pData);
        if (GST_MESSAGE_TYPE(pMessage) == GST_MESSAGE_EOS)
            return GST_BUS_PASS;
        if (GST_MESSAGE_TYPE(pMessage) != GST_MESSAGE_ERROR)
            return GST_BUS_DROP;
        if (!pWatch->bTold.exchange(true)) {
            GError *pError = nullptr;
            gst_message_parse_error(pMessage, &pError, nullptr);
            QByteArray line = "Audio output: " + pWatch->strOutput + " stopped (" +
                              QByteArray(pError ? pError->message : "an error") + ").\n";
            g_clear_error(&pError);
            if (QCoreApplication *pApp = QCoreApplication::instance())
                QMetaObject::invokeMethod(
                    pApp, [line] { LogError("%s", line.constData()); }, Qt::QueuedConnection);
        }
        return GST_BUS_PASS;
    }
    static void Forget(gpointer pData) { delete static_cast<BusWatch *>(pData); }
};

} // namespace

// What a player's sink bin hands its samples to: the mix's source for that player and the
// clock and times that say where on the mix a sample belongs. Fixed before the first sink
// bin exists; shared with the streaming threads, and outliving the mix if a pipeline does.
struct CAudioOutput::Route {
    GstElement *pSource = nullptr; // appsrc, owned reference
    GstClock *pClock = nullptr;    // the mix's, owned reference
    GstClockTime nBaseTime = 0;
    GstClockTime nLatency = 0;

    ~Route() {
        if (pSource)
            gst_object_unref(pSource);
        if (pClock)
            gst_object_unref(pClock);
    }

    // Streaming thread of a player's pipeline: the sample is due at the sink's base time plus
    // its running time on the sink's clock; on the mix that is so much earlier as the mix's
    // output lags behind it. GST_CLOCK_TIME_NONE for one that cannot be placed.
    GstClockTime PlaceOnMix(GstElement *pSink, GstClockTime nRunning) const {
        GstClock *pSinkClock = gst_element_get_clock(pSink);
        if (!pSinkClock || !GST_CLOCK_TIME_IS_VALID(nRunning)) {
            if (pSinkClock)
                gst_object_unref(pSinkClock);
            return GST_CLOCK_TIME_NONE;
        }
        gint64 nDue = gint64(gst_element_get_base_time(pSink) + nRunning);
        // A synchronised player runs on the network clock: its time, read as the mix's.
        if (pSinkClock != pClock)
            nDue += GST_CLOCK_DIFF(gst_clock_get_time(pSinkClock), gst_clock_get_time(pClock));
        gst_object_unref(pSinkClock);
        const gint64 nOnMix = nDue - gint64(nBaseTime) - gint64(nLatency);
        return nOnMix < 0 ? GST_CLOCK_TIME_NONE : GstClockTime(nOnMix);
    }

    static GstFlowReturn OnSample(GstAppSink *pSink, gpointer pData) {
        const Route &route = **static_cast<std::shared_ptr<Route> *>(pData);
        GstSample *pSample = gst_app_sink_pull_sample(pSink);
        if (!pSample)
            return GST_FLOW_OK;
        GstBuffer *pBuffer = gst_sample_get_buffer(pSample);
        const GstSegment *pSegment = gst_sample_get_segment(pSample);
        if (pBuffer && pSegment && GST_BUFFER_PTS_IS_VALID(pBuffer)) {
            const GstClockTime nAt = route.PlaceOnMix(
                GST_ELEMENT(pSink),
                gst_segment_to_running_time(pSegment, GST_FORMAT_TIME, GST_BUFFER_PTS(pBuffer)));
            if (GST_CLOCK_TIME_IS_VALID(nAt)) {
                GstBuffer *pOut = gst_buffer_copy(pBuffer); // the samples are shared, not copied
                GST_BUFFER_PTS(pOut) = nAt;
                GST_BUFFER_DTS(pOut) = GST_CLOCK_TIME_NONE;
                GST_BUFFER_OFFSET(pOut) = GST_BUFFER_OFFSET_NONE;
                GST_BUFFER_FLAG_UNSET(pOut, GST_BUFFER_FLAG_DISCONT);
                gst_app_src_push_buffer(GST_APP_SRC(route.pSource), pOut);
            }
        }
        gst_sample_unref(pSample);
        return GST_FLOW_OK;
    }

    static void Forget(gpointer pData) { delete static_cast<std::shared_ptr<Route> *>(pData); }
};

const std::vector<CSettingKey> &CAudioOutput::Settings::Keys() {
    static const std::vector<CSettingKey> keys = {
        {"Audio", kKeys[0], CSettingKey::TEXT, "",
         "the sound device, as tessaro --list-audio-devices names it (empty: the default)",
         CSettingKey::NEXT_START, 0, 0, nullptr, nullptr, false, TooLong<0>},
        {"Audio", kKeys[1], CSettingKey::TEXT, "",
         "a GStreamer sink description the sound plays to instead (wins over Device)",
         CSettingKey::NEXT_START, 0, 0, nullptr, nullptr, false, TooLong<1>},
        {"Audio", kKeys[2], CSettingKey::TEXT, "",
         "a second device for the inactive player's sound (empty: it is not heard apart)",
         CSettingKey::NEXT_START, 0, 0, nullptr, nullptr, false, TooLong<2>},
        {"Audio", kKeys[3], CSettingKey::TEXT, "",
         "the same as a sink description (wins over CueDevice)", CSettingKey::NEXT_START, 0, 0,
         nullptr, nullptr, false, TooLong<3>},
    };
    return keys;
}

CAudioOutput::Settings CAudioOutput::Settings::Read(CProfile &profile) {
    Settings settings;
    settings.strDevice = ReadBounded(profile, "Device");
    settings.strSink = ReadBounded(profile, "Sink");
    settings.strCueDevice = ReadBounded(profile, "CueDevice");
    settings.strCueSink = ReadBounded(profile, "CueSink");
    return settings;
}

CAudioOutput::CAudioOutput(Settings settings) : m_settings(std::move(settings)) {}

CAudioOutput::~CAudioOutput() {
    Stop();
}

void CAudioOutput::Stop() {
    if (!m_pPipeline)
        return;
    // The mix ends once each source has: a file sink writes its header then.
    for (const std::shared_ptr<Route> &pRoute : m_pRoutes)
        if (pRoute)
            gst_app_src_end_of_stream(GST_APP_SRC(pRoute->pSource));
    if (GST_STATE(m_pPipeline) == GST_STATE_PLAYING) {
        GstBus *pBus = gst_element_get_bus(m_pPipeline);
        if (GstMessage *pEnd = gst_bus_timed_pop_filtered(
                pBus, FINISH_WAIT, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)))
            gst_message_unref(pEnd);
        gst_object_unref(pBus);
    }
    gst_element_set_state(m_pPipeline, GST_STATE_NULL);
    gst_object_unref(m_pPipeline);
    m_pPipeline = nullptr;
    for (int i = 0; i < PLAYER_COUNT; ++i) {
        m_pRoutes[i].reset();
        for (GstObject **ppGain : {&m_pMainGain[i], &m_pCueGain[i]})
            if (*ppGain)
                gst_object_unref(std::exchange(*ppGain, nullptr));
    }
}

bool CAudioOutput::HasRealDevice() {
    static int s_nRealOutput = -1;
    if (s_nRealOutput >= 0)
        return s_nRealOutput == 1;
    s_nRealOutput = 0;
    GstElement *pProbe = gst_element_factory_make("autoaudiosink", nullptr);
    if (!pProbe)
        return false;
    gst_object_ref_sink(pProbe);
    // The automatic sink picks its device on the way to READY; a fake one inside means none.
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
    return s_nRealOutput == 1;
}

GstElement *CAudioOutput::MakeDeviceSink() {
    if (HasRealDevice())
        return gst_element_factory_make("autoaudiosink", nullptr);
    GstElement *pSink = gst_element_factory_make("fakesink", nullptr);
    if (pSink)
        g_object_set(pSink, "sync", TRUE, nullptr);
    return pSink;
}

// The volume element is ours on purpose. Without one in the sink, the pipeline makes its own
// software volume for a sink that has none (the fake sink, ALSA), and that element is never
// freed when the pipeline is: about 2 KB lost with every file opened. With ours there the
// pipeline controls the volume through it and makes nothing, and ours goes with our bin.
GstElement *CAudioOutput::MakeSink() {
    GstElement *pSink = MakeDeviceSink();
    GstElement *pVolume = pSink ? gst_element_factory_make("volume", nullptr) : nullptr;
    if (!pVolume)
        return pSink; // plays all the same, only without the volume of our own
    GstElement *pBin = gst_bin_new(nullptr);
    gst_bin_add_many(GST_BIN(pBin), pVolume, pSink, nullptr);
    GstPad *pSinkPad = gst_element_get_static_pad(pVolume, "sink");
    const bool bOK = gst_element_link(pVolume, pSink) &&
                     gst_element_add_pad(pBin, gst_ghost_pad_new("sink", pSinkPad));
    gst_object_unref(pSinkPad);
    if (!bOK) {
        gst_object_unref(gst_object_ref_sink(pBin));
        return MakeDeviceSink();
    }
    return pBin;
}

GstElement *CAudioOutput::MakeSink(int nPlayer) {
    if (nPlayer < 0 || nPlayer >= PLAYER_COUNT || !Start())
        return MakeSink();
    GstElement *pBin = gst_bin_new(nullptr);
    GstElement *pVolume = Make("volume");
    GstElement *pConvert = Make("audioconvert");
    GstElement *pResample = Make("audioresample");
    GstElement *pFormat = Make("capsfilter");
    GstElement *pHandOver = Make("appsink");
    if (!pVolume || !pConvert || !pResample || !pFormat || !pHandOver) {
        for (GstElement *p : {pVolume, pConvert, pResample, pFormat, pHandOver})
            if (p)
                gst_object_unref(gst_object_ref_sink(p));
        gst_object_unref(gst_object_ref_sink(pBin));
        return MakeSink();
    }
    GstCaps *pCaps = gst_caps_from_string(MIX_CAPS);
    g_object_set(pFormat, "caps", pCaps, nullptr);
    gst_caps_unref(pCaps);
    // Synchronised as an audio sink is, so the pipeline runs in real time and ends on time;
    // only earlier by the lead, so the sample is in the mix before the mix must play it.
    g_object_set(pHandOver, "sync", TRUE, "ts-offset", -gint64(m_nLead), nullptr);
    GstAppSinkCallbacks callbacks = {};
    callbacks.new_sample = &Route::OnSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(pHandOver), &callbacks,
                               new std::shared_ptr<Route>(m_pRoutes[nPlayer]), &Route::Forget);
    gst_bin_add_many(GST_BIN(pBin), pVolume, pConvert, pResample, pFormat, pHandOver, nullptr);
    gst_element_link_many(pVolume, pConvert, pResample, pFormat, pHandOver, nullptr);
    GstPad *pSinkPad = gst_element_get_static_pad(pVolume, "sink");
    gst_element_add_pad(pBin, gst_ghost_pad_new("sink", pSinkPad));
    gst_object_unref(pSinkPad);
    return pBin;
}

GstElement *CAudioOutput::MakeOutputSink(const QString &strDevice, const QString &strSink,
                                         bool bCue, bool bChosen, QString &strName) {
    const char *pszWhat = bCue ? "cue " : "";
    const char *pszFallback =
        bCue ? "the inactive player is not heard" : "playing to the default output instead";
    if (bChosen && !strSink.isEmpty()) {
        GError *pError = nullptr;
        GstElement *pSink =
            gst_parse_bin_from_description(strSink.toUtf8().constData(), TRUE, &pError);
        if (pSink && !pError) {
            strName = QStringLiteral("the %1sink \"%2\"").arg(pszWhat, strSink);
            return pSink;
        }
        LogError("Audio output: the %ssink \"%s\" cannot be made (%s); %s.\n", pszWhat,
                 strSink.toUtf8().constData(), pError ? pError->message : "no element",
                 pszFallback);
        g_clear_error(&pError);
        if (pSink)
            gst_object_unref(gst_object_ref_sink(pSink));
    } else if (bChosen && !strDevice.isEmpty()) {
        QString strDescription;
        if (GstElement *pSink = CAudioDevices::MakeSink(strDevice, strDescription)) {
            strName =
                QStringLiteral("the %1device \"%2\" (%3)").arg(pszWhat, strDescription, strDevice);
            return pSink;
        }
        LogError("Audio output: the %sdevice \"%s\" is not there; %s.\n", pszWhat,
                 strDevice.toUtf8().constData(), pszFallback);
    }
    if (bCue)
        return nullptr;
    strName = HasRealDevice() ? QStringLiteral("the default device")
                              : QStringLiteral("no sound device (the sound runs on the clock "
                                               "unheard)");
    return MakeDeviceSink();
}

bool CAudioOutput::AddBranch(GstElement *pTee, int nPlayer, GstElement *pMixer, bool bMain) {
    GstElement *pQueue = Make("queue");
    GstElement *pGain = Make("volume");
    if (!pQueue || !pGain)
        return false;
    gst_bin_add_many(GST_BIN(m_pPipeline), pQueue, pGain, nullptr);
    if (!gst_element_link_many(pTee, pQueue, pGain, pMixer, nullptr))
        return false;
    // The gain follows a curve of steps in the mix's time, so a switch lands on a chosen sample.
    GstControlSource *pCurve = gst_interpolation_control_source_new();
    g_object_set(pCurve, "mode", GST_INTERPOLATION_MODE_NONE, nullptr);
    gst_object_add_control_binding(GST_OBJECT(pGain), gst_direct_control_binding_new_absolute(
                                                          GST_OBJECT(pGain), "volume", pCurve));
    (bMain ? m_pMainGain : m_pCueGain)[nPlayer] = GST_OBJECT(pCurve);
    return true;
}

void CAudioOutput::SetGains(GstClockTime nAt) {
    for (int i = 0; i < PLAYER_COUNT; ++i) {
        const bool bMain = !m_bHasCue || i == m_nActive;
        if (m_pMainGain[i])
            gst_timed_value_control_source_set(GST_TIMED_VALUE_CONTROL_SOURCE(m_pMainGain[i]), nAt,
                                               bMain ? 1.0 : 0.0);
        if (m_pCueGain[i])
            gst_timed_value_control_source_set(GST_TIMED_VALUE_CONTROL_SOURCE(m_pCueGain[i]), nAt,
                                               bMain ? 0.0 : 1.0);
    }
}

void CAudioOutput::SetActive(int nPlayer) {
    if (nPlayer < 0 || nPlayer >= PLAYER_COUNT || nPlayer == m_nActive)
        return;
    m_nActive = nPlayer;
    if (!m_pPipeline || !m_bHasCue)
        return;
    // What the mix has taken in reaches the lead past now (a buffer more at most); the switch
    // lands beyond it, on the same sample for both players.
    GstClock *pClock = gst_element_get_clock(m_pPipeline);
    if (!pClock)
        return;
    const GstClockTime nNow = gst_clock_get_time(pClock) - gst_element_get_base_time(m_pPipeline);
    gst_object_unref(pClock);
    SetGains(nNow + HANDOVER_MARGIN + SWITCH_MARGIN);
}

bool CAudioOutput::Start() {
    if (!m_bStartTried) {
        m_bStartTried = true;
        const bool bChosen = m_settings.IsChosen();
        if (!TryStart(bChosen) && bChosen)
            TryStart(false);
        if (!m_pPipeline)
            LogError("Audio output: no mix could be made; each player plays to the default "
                     "output.\n");
        if (m_pPipeline) {
            LogMsg("Audio output: playing to %s.\n", m_strMainName.toUtf8().constData());
            if (m_bHasCue)
                LogMsg("Audio output: the inactive player is heard on %s.\n",
                       m_strCueName.toUtf8().constData());
        }
    }
    return m_pPipeline != nullptr;
}

GstElement *CAudioOutput::AddOutput(GstElement *pSink) {
    GstElement *pMixer = Make("audiomixer");
    GstElement *pFormat = Make("capsfilter");
    GstElement *pConvert = Make("audioconvert");
    GstElement *pResample = Make("audioresample");
    for (GstElement *p : {pMixer, pFormat, pConvert, pResample, pSink})
        if (p)
            gst_bin_add(GST_BIN(m_pPipeline), p);
    if (!pMixer || !pFormat || !pConvert || !pResample)
        return nullptr;
    GstCaps *pCaps = gst_caps_from_string(MIX_CAPS);
    g_object_set(pFormat, "caps", pCaps, nullptr);
    gst_caps_unref(pCaps);
    g_object_set(pMixer, "latency", MIXER_LATENCY, nullptr);
    return gst_element_link_many(pMixer, pFormat, pConvert, pResample, pSink, nullptr) ? pMixer
                                                                                       : nullptr;
}

bool CAudioOutput::AddSource(int nPlayer, GstElement *pMainMixer, GstElement *pCueMixer) {
    GstElement *pSource = Make("appsrc");
    GstElement *pTee = Make("tee");
    if (!pSource || !pTee)
        return false;
    GstCaps *pCaps = gst_caps_from_string(MIX_CAPS);
    g_object_set(pSource, "caps", pCaps, "format", GST_FORMAT_TIME, "is-live", TRUE, "min-latency",
                 gint64(0), "max-bytes", MAX_QUEUED_BYTES, nullptr);
    gst_caps_unref(pCaps);
    gst_app_src_set_leaky_type(GST_APP_SRC(pSource), GST_APP_LEAKY_TYPE_UPSTREAM);
    gst_bin_add_many(GST_BIN(m_pPipeline), pSource, pTee, nullptr);
    m_pRoutes[nPlayer] = std::make_shared<Route>();
    m_pRoutes[nPlayer]->pSource = GST_ELEMENT(gst_object_ref(pSource));
    return gst_element_link(pSource, pTee) && AddBranch(pTee, nPlayer, pMainMixer, true) &&
           (!pCueMixer || AddBranch(pTee, nPlayer, pCueMixer, false));
}

bool CAudioOutput::Play(const QByteArray &strOutputs, bool bChosen) {
    auto *pWatch = new BusWatch; // the bus's
    pWatch->strOutput = strOutputs;
    GstBus *pBus = gst_element_get_bus(m_pPipeline);
    gst_bus_set_sync_handler(pBus, &BusWatch::OnMessage, pWatch, &BusWatch::Forget);
    const bool bOK =
        gst_element_set_state(m_pPipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE &&
        gst_element_get_state(m_pPipeline, nullptr, nullptr, START_WAIT) !=
            GST_STATE_CHANGE_FAILURE;
    if (bOK) {
        pWatch->bTold = false;
    } else {
        GstMessage *pError = gst_bus_pop_filtered(pBus, GST_MESSAGE_ERROR);
        GError *pGError = nullptr;
        if (pError)
            gst_message_parse_error(pError, &pGError, nullptr);
        LogError("Audio output: %s cannot play (%s)%s.\n", strOutputs.constData(),
                 pGError ? pGError->message : "the state change failed",
                 bChosen ? "; playing to the default output instead" : "");
        g_clear_error(&pGError);
        if (pError)
            gst_message_unref(pError);
    }
    gst_object_unref(pBus);
    return bOK;
}

// bChosen false: the default output alone, after the chosen one failed to start.
bool CAudioOutput::TryStart(bool bChosen) {
    Stop();
    m_strMainName.clear();
    m_strCueName.clear();
    m_pPipeline = gst_pipeline_new("audio-output");
    gst_object_ref_sink(m_pPipeline);
    GstClock *pClock = gst_system_clock_obtain();
    gst_pipeline_use_clock(GST_PIPELINE(m_pPipeline), pClock);
    gst_object_unref(pClock);

    GstElement *pMainSink =
        MakeOutputSink(m_settings.strDevice, m_settings.strSink, false, bChosen, m_strMainName);
    GstElement *pCueSink =
        MakeOutputSink(m_settings.strCueDevice, m_settings.strCueSink, true, bChosen, m_strCueName);
    m_bHasCue = pCueSink != nullptr;
    GstElement *pMainMixer = pMainSink ? AddOutput(pMainSink) : nullptr;
    GstElement *pCueMixer = pCueSink && pMainMixer ? AddOutput(pCueSink) : nullptr;
    if (pCueSink && !pMainMixer)
        gst_object_unref(gst_object_ref_sink(pCueSink));
    bool bOK = pMainMixer && (!pCueSink || pCueMixer);
    // Each player's source feeds the main mix and, with a cue output, the cue mix.
    for (int i = 0; i < PLAYER_COUNT && bOK; ++i)
        bOK = AddSource(i, pMainMixer, pCueMixer);
    if (!bOK && bChosen)
        LogError("Audio output: %s cannot take the sound (no sink pad, or a missing element); "
                 "playing to the default output instead.\n",
                 (pMainMixer ? m_strCueName : m_strMainName).toUtf8().constData());
    if (bOK) {
        SetGains(0);
        bOK =
            Play((m_bHasCue ? m_strMainName + " or the cue output " + m_strCueName : m_strMainName)
                     .toUtf8(),
                 bChosen);
    }
    if (!bOK) {
        Stop();
        return false;
    }
    // The mix plays a sample its latency after the sample's time on the mix: the sink bins
    // stamp theirs that much earlier and hand them over ahead by as much and a margin.
    GstClockTime nLatency = 0;
    GstQuery *pQuery = gst_query_new_latency();
    if (gst_element_query(m_pPipeline, pQuery))
        gst_query_parse_latency(pQuery, nullptr, &nLatency, nullptr);
    gst_query_unref(pQuery);
    m_nLead = nLatency + HANDOVER_MARGIN;
    for (const std::shared_ptr<Route> &pRoute : m_pRoutes) {
        pRoute->pClock = gst_element_get_clock(m_pPipeline);
        pRoute->nBaseTime = gst_element_get_base_time(m_pPipeline);
        pRoute->nLatency = nLatency;
    }
    return true;
}
