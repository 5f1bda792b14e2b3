// First: GIO, which the network clock brings in, names a struct member "signals", which Qt
// defines away.
#include <gst/net/net.h>

#include "playback/CSyncClock.h"

#include "core/CLogBook.h"

namespace {
constexpr int ALIVE_CHECK_MS = 250;

int64_t SteadyMs() {
    return int64_t(g_get_monotonic_time() / 1000);
}
} // namespace

CSyncClock::CSyncClock(QObject *pParent) : QObject(pParent) {
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
    m_pClock = gst_system_clock_obtain();
    m_aliveTimer.setInterval(ALIVE_CHECK_MS);
    connect(&m_aliveTimer, &QTimer::timeout, this, &CSyncClock::CheckAlive);
}

CSyncClock::~CSyncClock() {
    Stop();
    gst_object_unref(m_pClock);
}

bool CSyncClock::Lead(const QString &strAddress, int nPort) {
    Stop();
    const QByteArray address = strAddress.isEmpty() ? QByteArray() : strAddress.toLatin1();
    GstNetTimeProvider *pProvider = gst_net_time_provider_new(
        m_pClock, address.isEmpty() ? nullptr : address.constData(), nPort);
    if (!pProvider) {
        LogError("CSyncClock::Lead(): the clock cannot be served on %s port %d.\n",
                 address.isEmpty() ? "every address" : address.constData(), nPort);
        return false;
    }
    m_pProvider = GST_OBJECT(pProvider);
    return true;
}

int CSyncClock::ServedPort() const {
    gint nPort = 0;
    if (m_pProvider)
        g_object_get(m_pProvider, "port", &nPort, nullptr);
    return nPort;
}

bool CSyncClock::Follow(const QString &strLeader, int nPort) {
    Stop();
    if (!g_hostname_is_ip_address(strLeader.toLatin1().constData())) {
        LogError("CSyncClock::Follow(): \"%s\" is not an IP address.\n", qPrintable(strLeader));
        return false;
    }
    GstClock *pNet = gst_net_client_clock_new("sync", strLeader.toLatin1().constData(), nPort, 0);
    if (!pNet) {
        LogError("CSyncClock::Follow(): no network clock for %s.\n", qPrintable(strLeader));
        return false;
    }
    g_object_set(pNet, "round-trip-limit", ROUND_TRIP_LIMIT, nullptr);
    // The clock that talks to the leader polls once a second and fits its rate over its last
    // 32 observations: on a network with jitter it then wanders by several milliseconds for
    // half a minute. Asked ten times a second over a longer window, it averages the jitter
    // away within seconds (a few datagrams a second, each way).
    GstClock *pInternal = nullptr;
    g_object_get(pNet, "internal-clock", &pInternal, nullptr);
    if (pInternal) {
        g_object_set(pInternal, "timeout", POLL_INTERVAL, "window-size", FIT_WINDOW, nullptr);
        gst_object_unref(pInternal);
    }
    m_pStatsBus = gst_bus_new();
    gst_bus_set_sync_handler(m_pStatsBus, &CSyncClock::OnClockMessage, this, nullptr);
    g_object_set(pNet, "bus", m_pStatsBus, nullptr);
    gst_object_unref(m_pClock);
    m_pClock = pNet;
    m_nLastStatsMs = 0;
    m_bAnnounced = false;
    m_aliveTimer.start();
    return true;
}

void CSyncClock::Stop() {
    m_aliveTimer.stop();
    if (m_pProvider) {
        gst_object_unref(m_pProvider);
        m_pProvider = nullptr;
    }
    if (m_pStatsBus) {
        // No statistics may reach this object once it is gone; the clock itself may live on
        // in pipelines that still hold it.
        g_object_set(m_pClock, "bus", nullptr, nullptr);
        gst_bus_set_sync_handler(m_pStatsBus, nullptr, nullptr, nullptr);
        gst_object_unref(m_pStatsBus);
        m_pStatsBus = nullptr;
    }
    m_bSynced = false;
}

GstBusSyncReply CSyncClock::OnClockMessage(GstBus *, GstMessage *pMessage, gpointer pData) {
    auto *pThis = static_cast<CSyncClock *>(pData);
    const GstStructure *pStats = gst_message_get_structure(pMessage);
    gint64 nOffset = 0;
    guint64 nCalibrated = 0;
    // Synchronised once the clock has its first calibration: before, the offset reads 0. From
    // then on every answer shows the leader is there. The record's own "synchronised" says
    // only whether the answer fell within a quarter of the round trip of the clock's guess,
    // which on a fast link (a round trip of 0.1 ms) most answers miss by a few microseconds
    // while the clock is fine; going by it, a busy follower took the leader for lost.
    if (pStats && gst_structure_has_name(pStats, "gst-netclock-statistics") &&
        gst_structure_get_int64(pStats, "local-clock-offset", &nOffset) &&
        gst_structure_get_uint64(pStats, "internal-time", &nCalibrated) && nCalibrated != 0) {
        pThis->m_nOffsetNs = nOffset;
        pThis->m_nLastStatsMs = SteadyMs();
        if (!pThis->m_bSynced.exchange(true))
            QMetaObject::invokeMethod(pThis, &CSyncClock::CheckAlive, Qt::QueuedConnection);
    }
    return GST_BUS_DROP;
}

void CSyncClock::CheckAlive() {
    const int64_t nLast = m_nLastStatsMs.load();
    if (nLast != 0 && SteadyMs() - nLast > LOST_AFTER_MS) {
        m_bSynced = false;
        m_nLastStatsMs = 0;
        if (m_bAnnounced) {
            m_bAnnounced = false;
            emit Lost();
        }
        return;
    }
    if (m_bSynced && !m_bAnnounced) {
        m_bAnnounced = true;
        emit Synced(OffsetMs());
    }
}
