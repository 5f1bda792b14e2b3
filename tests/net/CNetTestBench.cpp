#include "CNetTestBench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

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
