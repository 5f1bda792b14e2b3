// `make bench`: how soon an OSC client hears about its command, against how soon a controller
// of the binary protocol hears about the same command, in the same run and alternating between
// the two; then the feedback rate one subscriber gets while a player plays.
#include "../net/CNetTestBench.h"
#include "../playback/CMediaFiles.h"
#include "CDatagramWait.h"
#include "CTessaroProcess.h"
#include "remote/protocol/CNetDatagram.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>
#include <algorithm>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr int kPortBase = 46620; // status 46620, commands 46621, OSC 46622

QByteArray Osc(const char *pszPath, int nArg = -1) {
    return nArg >= 0 ? CNetTestBench::OscMessage(pszPath, "i", nArg)
                     : CNetTestBench::OscMessage(pszPath);
}

// Waits for a datagram that reports what the command did: a bundle with the player's new state
// (sent only when it changed), or a status datagram with the expected play state.
bool WaitFor(QUdpSocket &socket, const std::function<bool(const QByteArray &)> &reports,
             int nTimeoutMs) {
    return !CDatagramWait::Until(socket, reports, nTimeoutMs).isEmpty();
}

std::function<bool(const QByteArray &)> StatusWithState(int nState) {
    return [nState](const QByteArray &data) {
        CNetDatagram::Message msg;
        return CDatagramWait::Decode(data, msg) && msg.nType == CNetDatagram::TYPE_STATUS &&
               msg.status.nPlayState == nState;
    };
}

void Drain(QUdpSocket &socket) {
    while (socket.hasPendingDatagrams())
        socket.receiveDatagram();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Max(const std::vector<double> &v) {
    return *std::max_element(v.begin(), v.end());
}

TEST(OscLatencyBench, FeedbackFollowsAnOscCommandAsFastAsStatusFollowsADatagram) {
    CTessaroProcess tessaro(kPortBase);
    tessaro.PresetSetting("OSC/Port", kPortBase + 2);
    ASSERT_TRUE(tessaro.Start());
    QUdpSocket status, feedback, sender;
    ASSERT_TRUE(status.bind(QHostAddress::LocalHost, quint16(tessaro.StatusPort())));
    ASSERT_TRUE(feedback.bind(QHostAddress::LocalHost, 0));
    // A still picture to pause and play: it never ends, so every command changes the state.
    const QString strStill = tessaro.WorkDir() + "/still.jpg";
    QFile::copy(CMediaFiles::Path("still.jpg"), strStill);
    tessaro.Remote({"open", strStill});
    tessaro.Remote({"play"});
    auto sendOsc = [&](const QByteArray &data) {
        sender.writeDatagram(data, QHostAddress::LocalHost, quint16(kPortBase + 2));
    };
    sendOsc(Osc("/tessaro/subscribe", feedback.localPort()));
    QTest::qWait(300);

    std::vector<double> viaDatagram, viaOsc;
    for (int i = 0; i < 200; ++i) {
        // Further apart than the spacing of requested status datagrams, spread over the
        // timer's phase.
        QTest::qWait(110 + (i * 37) % 90);
        Drain(status);
        Drain(feedback);
        // Pause and play in turn; two by datagram, two by OSC.
        const bool bPause = i % 2 == 0;
        const bool bDatagram = (i / 2) % 2 == 0;
        QElapsedTimer timer;
        timer.start();
        if (bDatagram) {
            unsigned char packet[CNetDatagram::COMMAND_SIZE];
            CNetDatagram::EncodeCommand(
                packet, {0, bPause ? CNetDatagram::CMD_PAUSE : CNetDatagram::CMD_PLAY, 0}, "");
            sender.writeDatagram(reinterpret_cast<const char *>(packet), sizeof packet,
                                 QHostAddress::LocalHost, quint16(tessaro.CommandPort()));
            ASSERT_TRUE(WaitFor(status, StatusWithState(bPause ? 1 : 2), 1000));
            viaDatagram.push_back(timer.nsecsElapsed() / 1e6);
        } else {
            sendOsc(Osc(bPause ? "/tessaro/a/pause" : "/tessaro/a/play"));
            ASSERT_TRUE(WaitFor(
                feedback, [](const QByteArray &data) { return data.contains("/tessaro/a/state"); },
                1000));
            viaOsc.push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    printf("binary command to status datagram: median %.2f ms, max %.2f ms over %zu commands\n",
           Median(viaDatagram), Max(viaDatagram), viaDatagram.size());
    printf("OSC command to feedback bundle:     median %.2f ms, max %.2f ms over %zu commands\n",
           Median(viaOsc), Max(viaOsc), viaOsc.size());
    printf("ratio OSC / binary: median %.2f, max %.2f (target <= 1.2)\n",
           Median(viaOsc) / Median(viaDatagram), Max(viaOsc) / Max(viaDatagram));

    // Rate: play from the start and count bundles with a position for 1.5 s.
    const QString strClip = tessaro.WorkDir() + "/clip.mp4";
    QFile::copy(CMediaFiles::Path("clip.mp4"), strClip);
    tessaro.Remote({"open", strClip});
    tessaro.Remote({"play"});
    QTest::qWait(200);
    Drain(feedback);
    // Updates per second from the spacing of their arrivals, first to last.
    std::vector<qint64> arrivals;
    QElapsedTimer window;
    window.start();
    while (window.elapsed() < 1400) {
        feedback.waitForReadyRead(2);
        while (feedback.hasPendingDatagrams())
            if (feedback.receiveDatagram().data().contains("/tessaro/a/position"))
                arrivals.push_back(window.nsecsElapsed());
    }
    ASSERT_GE(arrivals.size(), 5u);
    const double dRate = (arrivals.size() - 1) * 1e9 / double(arrivals.back() - arrivals.front());
    printf("feedback rate while playing: %.2f updates/s for one subscriber (target 10 +- 10%%, "
           "FeedbackInterval 100 ms)\n",
           dRate);
    EXPECT_LE(Median(viaOsc), 1.2 * Median(viaDatagram) + 1.0);
    EXPECT_NEAR(dRate, 10.0, 1.0);
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
}

} // namespace
