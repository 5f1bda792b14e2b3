// The clock several machines share when they play one show, on GStreamer's network clock:
// the leader serves its system clock (GstNetTimeProvider), a follower slaves a
// GstNetClientClock to it. Players' pipelines run on Clock(), so equal clock times mean equal
// moments on every machine. A follower never blocks for synchronisation: it hears of it, of
// the measured offset, and of the leader falling silent through signals on the UI thread.
#pragma once

#include <gst/gst.h>

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>

class CSyncClock : public QObject {
    Q_OBJECT
public:
    // An observation whose round trip took longer than this says little about the leader's
    // time and is not used (a busy network, a relay with jitter).
    static constexpr GstClockTime ROUND_TRIP_LIMIT = 100 * GST_MSECOND;
    // How often a follower asks the leader's time, and over how many answers it fits the
    // leader's rate.
    static constexpr GstClockTime POLL_INTERVAL = 100 * GST_MSECOND;
    static constexpr int FIT_WINDOW = 64;
    // Without an answer from the leader for this long the clock runs on its own.
    static constexpr int LOST_AFTER_MS = 2500;

    explicit CSyncClock(QObject *pParent = nullptr);
    ~CSyncClock() override;
    CSyncClock(const CSyncClock &) = delete;
    CSyncClock &operator=(const CSyncClock &) = delete;

    // UI thread. Serves the system clock on strAddress (empty: every address) and nPort;
    // false when the port cannot be bound (logged).
    bool Lead(const QString &strAddress, int nPort);
    // UI thread. Slaves the clock to the one served at strLeader:nPort; false when the
    // address is not an IP address (logged). Synchronisation follows asynchronously.
    bool Follow(const QString &strLeader, int nPort);
    // UI thread. Serves or follows no longer; Clock() stays valid until destruction.
    void Stop();

    // Any thread. The clock pipelines run on (the system clock before Lead or Follow); owned.
    GstClock *Clock() const { return m_pClock; }
    // Any thread. The clock's time in nanoseconds.
    int64_t Now() const { return int64_t(gst_clock_get_time(m_pClock)); }
    bool IsLeader() const { return m_pProvider != nullptr; }
    // The port the clock is served on (the one bound when Lead was given 0); 0 when not.
    int ServedPort() const;
    // Any thread. A follower whose clock is synchronised and hears from the leader.
    bool IsSynced() const { return m_bSynced.load(); }
    // Any thread. The last measured offset of this machine's clock from the leader's, in ms.
    double OffsetMs() const { return double(m_nOffsetNs.load()) / 1e6; }

signals:
    // UI thread: the follower's clock is synchronised, first or again after a loss.
    void Synced(double dOffsetMs);
    // UI thread: no answer from the leader for LOST_AFTER_MS; the clock runs on its own.
    void Lost();

private:
    // Clock thread: one statistics record of the network clock.
    static GstBusSyncReply OnClockMessage(GstBus *pBus, GstMessage *pMessage, gpointer pData);
    // UI thread.
    void CheckAlive();

    GstClock *m_pClock = nullptr;
    GstObject *m_pProvider = nullptr; // GstNetTimeProvider of a leader
    GstBus *m_pStatsBus = nullptr;    // a follower's statistics
    QTimer m_aliveTimer;
    std::atomic<bool> m_bSynced{false};
    std::atomic<int64_t> m_nOffsetNs{0};
    std::atomic<int64_t> m_nLastStatsMs{0}; // steady milliseconds of the last observation
    bool m_bAnnounced = false;              // UI thread: Synced sent since the last loss
};
