#include "remote/CSyncClockRelay.h"

#include "core/CLogBook.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include <chrono>

namespace {
// The clock's local time: the monotonic clock its system clock runs on.
int64_t MonotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t BigEndian(const char *p) {
    uint64_t n = 0;
    for (int i = 0; i < 8; ++i)
        n = n << 8 | static_cast<unsigned char>(p[i]);
    return int64_t(n);
}
} // namespace

CSyncClockRelay::CSyncClockRelay(const CSyncKey &key, QObject *pParent)
    : QObject(pParent), m_key(key) {
    m_thread.setObjectName("sync clock relay");
}

CSyncClockRelay::~CSyncClockRelay() {
    if (m_thread.isRunning()) {
        QMetaObject::invokeMethod(
            m_pContext, [this] { delete m_pContext; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
}

bool CSyncClockRelay::Start(const std::function<bool()> &setUp) {
    m_pContext = new QObject;
    m_pContext->moveToThread(&m_thread);
    m_thread.start();
    bool bOk = false;
    QMetaObject::invokeMethod(
        m_pContext,
        [&] {
            m_pInner = new QUdpSocket(m_pContext);
            m_pOuter = new QUdpSocket(m_pContext);
            connect(m_pInner, &QUdpSocket::readyRead, m_pContext, [this] { OnInner(); });
            connect(m_pOuter, &QUdpSocket::readyRead, m_pContext, [this] { OnOuter(); });
            bOk = setUp();
            m_nLocalPort = m_pInner->localPort();
        },
        Qt::BlockingQueuedConnection);
    return bOk;
}

bool CSyncClockRelay::Follow(const QHostAddress &bind, const QHostAddress &leader, quint16 nPort) {
    m_bLeader = false;
    m_far = leader;
    m_nFarPort = nPort;
    return Start([&] {
        const QHostAddress outer = bind.isNull() ? QHostAddress(QHostAddress::AnyIPv4) : bind;
        if (!m_pInner->bind(QHostAddress::LocalHost, 0) || !m_pOuter->bind(outer, 0)) {
            LogError("CSyncClockRelay::Follow(): no socket for the clock: %s\n",
                     qPrintable(m_pInner->errorString() + m_pOuter->errorString()));
            return false;
        }
        return true;
    });
}

bool CSyncClockRelay::Lead(const QHostAddress &bind, quint16 nPort, quint16 nServedPort,
                           const CCommandAccess &access) {
    m_bLeader = true;
    m_far = QHostAddress(QHostAddress::LocalHost);
    m_nFarPort = nServedPort;
    m_access = access;
    return Start([&] {
        const QHostAddress outer = bind.isNull() ? QHostAddress(QHostAddress::AnyIPv4) : bind;
        if (!m_pInner->bind(QHostAddress::LocalHost, 0) || !m_pOuter->bind(outer, nPort)) {
            LogError("CSyncClockRelay::Lead(): the clock cannot be served on %s port %u: %s\n",
                     qPrintable(outer.toString()), unsigned(nPort),
                     qPrintable(m_pOuter->errorString()));
            return false;
        }
        return true;
    });
}

void CSyncClockRelay::Refuse(const QHostAddress &sender, quint16 nPort, const QString &strWhy,
                             CRateWindow &window) {
    const int nRefused = ++m_nRefused;
    if (!window.Take(uint32_t(MonotonicNs() / 1000000)))
        return;
    const QString strLine = QString("Sync: refused a clock packet from %1 port %2: %3 (%4 "
                                    "refused so far; one such line a minute).\n")
                                .arg(sender.toString())
                                .arg(nPort)
                                .arg(strWhy)
                                .arg(nRefused);
    // The logbook belongs to the UI thread.
    QMetaObject::invokeMethod(
        this, [strLine] { LogError("%s", qPrintable(strLine)); }, Qt::QueuedConnection);
}

bool CSyncClockRelay::TakePending(int64_t nAskerTime, Pending &pending) {
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        if (it->nAskerTime == nAskerTime) {
            pending = *it;
            m_pending.erase(it);
            return true;
        }
    }
    return false;
}

// Requests from the follower's clock, or answers of the leader's served clock.
void CSyncClockRelay::OnInner() {
    while (m_pInner->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_pInner->receiveDatagram(PACKET_SIZE + 1);
        QByteArray data = datagram.data();
        if (data.size() != PACKET_SIZE)
            continue;
        const int64_t nAskerTime = BigEndian(data.constData());
        if (m_bLeader) {
            Pending pending;
            if (datagram.senderPort() != m_nFarPort || !TakePending(nAskerTime, pending))
                continue;
            if (m_key.IsSet())
                m_key.Seal(data);
            m_pOuter->writeDatagram(data, pending.asker, pending.nAskerPort);
            continue;
        }
        m_asker = datagram.senderAddress();
        m_nAskerPort = quint16(datagram.senderPort());
        if (m_pending.size() >= MAX_PENDING)
            m_pending.erase(m_pending.begin());
        m_pending.push_back({nAskerTime, m_asker, m_nAskerPort});
        if (m_key.IsSet())
            m_key.Seal(data);
        m_pOuter->writeDatagram(data, m_far, m_nFarPort);
    }
}

// Answers of the leader (follower), or requests of the followers (leader).
void CSyncClockRelay::OnOuter() {
    while (m_pOuter->hasPendingDatagrams()) {
        const QNetworkDatagram datagram =
            m_pOuter->receiveDatagram(PACKET_SIZE + CSyncKey::TAG_SIZE + 1);
        QByteArray data = datagram.data();
        const QHostAddress sender(datagram.senderAddress().toIPv4Address());
        const quint16 nPort = quint16(datagram.senderPort());
        const int64_t nNow = MonotonicNs();
        if (m_bLeader && !m_access.Allows(sender)) {
            Refuse(sender, nPort, "not admitted by [Network] AllowFrom", m_refusalLog);
            continue;
        }
        if (!m_bLeader && (sender != m_far || nPort != m_nFarPort)) {
            Refuse(sender, nPort, "not the leader's clock address and port", m_refusalLog);
            continue;
        }
        if (data.size() != PACKET_SIZE + (m_key.IsSet() ? CSyncKey::TAG_SIZE : 0)) {
            Refuse(sender, nPort,
                   m_key.IsSet() ? "not sealed, while [Sync] Key is set" : "not a clock packet",
                   m_refusalLog);
            continue;
        }
        if (m_key.IsSet()) {
            if (!m_key.Verify(data)) {
                Refuse(sender, nPort, "its seal does not match [Sync] Key", m_refusalLog);
                continue;
            }
            data = CSyncKey::Unsealed(data);
        }
        const int64_t nAskerTime = BigEndian(data.constData());
        if (m_bLeader) {
            if (m_pending.size() >= MAX_PENDING)
                m_pending.erase(m_pending.begin());
            m_pending.push_back({nAskerTime, sender, nPort});
            m_pInner->writeDatagram(data, m_far, m_nFarPort);
            continue;
        }
        Pending pending;
        if (!TakePending(nAskerTime, pending)) {
            Refuse(sender, nPort, "an answer to no request of this clock", m_refusalLog);
            continue;
        }
        if (m_bResettle.exchange(false))
            m_check.Resettle();
        const CClockAnswerCheck::Verdict verdict =
            m_check.Check(nAskerTime, BigEndian(data.constData() + 8), nNow);
        if (verdict == CClockAnswerCheck::Verdict::Jump) {
            Refuse(sender, nPort,
                   QString("it would move this clock by %1 ms, without the leader restarting; "
                           "not followed")
                       .arg(double(m_check.LastDeviation()) / 1e6, 0, 'f', 1),
                   m_jumpLog);
            continue;
        }
        if (verdict == CClockAnswerCheck::Verdict::Passed)
            m_pInner->writeDatagram(data, pending.asker, pending.nAskerPort);
    }
}
