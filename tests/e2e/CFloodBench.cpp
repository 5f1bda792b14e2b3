#include "CFloodBench.h"

#include "../net/CNetTestBench.h"
#include "CDatagramWait.h"
#include "remote/protocol/CNetDatagram.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <cmath>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

double CFloodBench::Figures::Worst() const {
    return answers.empty() ? 1e9 : *std::max_element(answers.begin(), answers.end());
}

double CFloodBench::Figures::Percentile(double dShare) const {
    if (answers.empty())
        return 1e9;
    std::vector<double> sorted = answers;
    std::sort(sorted.begin(), sorted.end());
    const size_t nIndex = size_t(std::ceil(dShare * double(sorted.size()))) - 1;
    return sorted[std::min(nIndex, sorted.size() - 1)];
}

void CFloodBench::Figures::Add(const Figures &more) {
    answers.insert(answers.end(), more.answers.begin(), more.answers.end());
    maxStatusGap = std::max(maxStatusGap, more.maxStatusGap);
    nOpened += more.nOpened;
    nFailed += more.nFailed;
    nStarted += more.nStarted;
}

void CFloodBench::SendPaced(const Paced &paced, std::atomic<bool> &running) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < paced.nCount; ++i) {
        const qint64 nDueUs = qint64(i) * 1000000 / paced.nRate;
        while (clock.nsecsElapsed() / 1000 < nDueUs)
            QThread::usleep(200);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(paced.port(i)));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const QByteArray data = paced.make(i);
        ::sendto(fd, data.constData(), size_t(data.size()), 0, reinterpret_cast<sockaddr *>(&to),
                 sizeof to);
    }
    ::close(fd);
    running = false;
}

CFloodBench::Figures CFloodBench::Measure(QUdpSocket &listener, QUdpSocket &sender,
                                          int nCommandPort, int nMs, std::atomic<bool> *pFlood) {
    Figures fig;
    QElapsedTimer clock;
    clock.start();
    // A flood that stops the status datagrams altogether shows as one gap from the start.
    qint64 nLastStatus = 0, nSentAt = -1;
    int nVolume = 40;
    const auto running = [&] { return pFlood ? pFlood->load() : clock.elapsed() < nMs; };
    while (running() || nSentAt >= 0) {
        if (nSentAt < 0 && running()) {
            nVolume = nVolume == 40 ? 60 : 40;
            sender.writeDatagram(CNetTestBench::Command(0, CNetDatagram::CMD_VOLUME, nVolume),
                                 QHostAddress::LocalHost, quint16(nCommandPort));
            nSentAt = clock.nsecsElapsed();
        }
        if (!listener.hasPendingDatagrams() && !listener.waitForReadyRead(20)) {
            if (nSentAt >= 0 && clock.nsecsElapsed() - nSentAt > 12'000'000'000LL)
                break; // no answer at all: the worst figure says so
            continue;
        }
        const QNetworkDatagram datagram = listener.receiveDatagram();
        const qint64 nNow = clock.nsecsElapsed();
        CNetDatagram::Message msg;
        if (!CDatagramWait::Decode(datagram.data(), msg))
            continue;
        if (msg.nType == CNetDatagram::TYPE_STATUS) {
            fig.maxStatusGap = std::max(fig.maxStatusGap, (nNow - nLastStatus) / 1e6);
            nLastStatus = nNow;
        } else if (msg.strText.find("Volume set to") != std::string::npos && nSentAt >= 0) {
            fig.answers.push_back((nNow - nSentAt) / 1e6);
            nSentAt = -1;
            // Spaced like a person at a fader, not flat out.
            QThread::msleep(100);
        } else if (msg.strText.find("successful.") != std::string::npos) {
            ++fig.nOpened;
        } else if (msg.strText.find("failed!") != std::string::npos) {
            ++fig.nFailed;
        } else if (msg.strText.find("Playback started.") != std::string::npos) {
            ++fig.nStarted;
        }
    }
    fig.maxStatusGap = std::max(fig.maxStatusGap, (clock.nsecsElapsed() - nLastStatus) / 1e6);
    return fig;
}

void CFloodBench::Drain(QUdpSocket &listener) {
    while (listener.hasPendingDatagrams())
        listener.receiveDatagram();
}

CFloodBench::Figures CFloodBench::FloodWhileMeasuring(QUdpSocket &listener, QUdpSocket &sender,
                                                      int nCommandPort, const Paced &paced,
                                                      int nTailMs, Figures *pTail) {
    // Only the flood's own texts are counted.
    QThread::msleep(800);
    Drain(listener);
    std::atomic<bool> running{true};
    std::thread flood(SendPaced, std::cref(paced), std::ref(running));
    Figures fig = Measure(listener, sender, nCommandPort, 0, &running);
    flood.join();
    const Figures tail = Measure(listener, sender, nCommandPort, nTailMs, nullptr);
    fig.Add(tail);
    if (pTail)
        *pTail = tail;
    return fig;
}
