#include "CNetTestBench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <lo/lo.h>

namespace {

const char *const kInsideFlag = "TESSARO_NET_TEST_IN_NAMESPACE";

} // namespace

bool CNetTestBench::InPrivateNamespace() {
    return qEnvironmentVariableIsSet(kInsideFlag);
}

int CNetTestBench::RunInPrivateNamespace(const char *pszTestName, QString &strOutput,
                                         int nTimeoutMs) {
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {QStringLiteral("-n"), QStringLiteral("true")});
    if (!probe.waitForFinished(5000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0)
        return SKIPPED;

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kInsideFlag), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("unshare"),
                {QStringLiteral("-n"), QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("ip link set lo up && "
                                "ip route add broadcast 255.255.255.255 dev lo table local "
                                "|| exit 77; exec \"$0\" \"$1\""),
                 QCoreApplication::applicationFilePath(),
                 QStringLiteral("--gtest_filter=") + QString::fromLatin1(pszTestName)});
    if (!child.waitForFinished(nTimeoutMs)) {
        child.kill();
        child.waitForFinished();
        strOutput = QStringLiteral("timed out\n") + QString::fromLocal8Bit(child.readAll());
        return -1;
    }
    strOutput = QString::fromLocal8Bit(child.readAll());
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

bool CNetTestBench::WaitFor(const std::function<bool()> &cond, int nMs) {
    QElapsedTimer timer;
    timer.start();
    while (!cond()) {
        if (timer.elapsed() > nMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

void CNetTestBench::Spin(int nMs) {
    WaitFor([] { return false; }, nMs);
}

long CNetTestBench::UdpReceiveBufferErrors() {
    QFile f(QStringLiteral("/proc/net/snmp"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    QList<QByteArray> header;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (!line.startsWith("Udp: "))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (header.isEmpty()) {
            header = fields;
            continue;
        }
        const qsizetype i = header.indexOf("RcvbufErrors");
        return i > 0 && i < fields.size() ? fields[i].toLong() : -1;
    }
    return -1;
}

QByteArray CNetTestBench::Command(int32_t nPlayerId, int32_t nCode, int32_t nValue,
                                  const char *pszText) {
    QByteArray datagram(static_cast<qsizetype>(CNetDatagram::COMMAND_SIZE), '\0');
    CNetDatagram::EncodeCommand(reinterpret_cast<unsigned char *>(datagram.data()),
                                {nPlayerId, nCode, nValue}, pszText);
    return datagram;
}

void CNetTestBench::Send(const QByteArray &datagram) {
    m_sender.writeDatagram(datagram, QHostAddress::LocalHost, static_cast<quint16>(m_nCommandPort));
}

bool CNetTestBench::Listen(int nStatusPort) {
    return m_listener.bind(QHostAddress::LocalHost, static_cast<quint16>(nStatusPort));
}

std::vector<QByteArray> CNetTestBench::Received(size_t nMin, int nMs) {
    auto drain = [this, nMin] {
        while (m_listener.hasPendingDatagrams()) {
            QByteArray datagram(m_listener.pendingDatagramSize(), '\0');
            m_listener.readDatagram(datagram.data(), datagram.size());
            m_received.push_back(datagram);
        }
        return m_received.size() >= nMin;
    };
    if (nMin)
        WaitFor(drain, nMs);
    else
        drain();
    return m_received;
}

std::vector<CNetDatagram::Message> CNetTestBench::Messages(size_t nMin, int nMs) {
    std::vector<CNetDatagram::Message> messages;
    for (const QByteArray &datagram : Received(nMin, nMs)) {
        CNetDatagram::Message msg;
        if (CNetDatagram::DecodeMessage(reinterpret_cast<const unsigned char *>(datagram.data()),
                                        static_cast<size_t>(datagram.size()), msg))
            messages.push_back(msg);
    }
    return messages;
}

QByteArray CNetTestBench::OscMessage(const char *pszPath, const char *pszTypes, double d,
                                     const char *psz) {
    lo_message m = lo_message_new();
    for (const char *p = pszTypes; *p; ++p) {
        switch (*p) {
        case 'i':
            lo_message_add_int32(m, static_cast<int32_t>(d));
            break;
        case 'h':
            lo_message_add_int64(m, static_cast<int64_t>(d));
            break;
        case 'f':
            lo_message_add_float(m, static_cast<float>(d));
            break;
        case 'd':
            lo_message_add_double(m, d);
            break;
        case 'T':
            lo_message_add_true(m);
            break;
        case 'F':
            lo_message_add_false(m);
            break;
        default:
            lo_message_add_string(m, psz ? psz : "");
        }
    }
    size_t nSize = 0;
    void *pData = lo_message_serialise(m, pszPath, nullptr, &nSize);
    QByteArray data(static_cast<const char *>(pData), static_cast<qsizetype>(nSize));
    free(pData);
    lo_message_free(m);
    return data;
}
