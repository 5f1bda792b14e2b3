// `make bench`: the browser remote against the OSC path, in the same run and alternating: a
// command from the page until the status datagram reports it, against the same for an OSC
// command; and a change until the page hears of it, against the OSC feedback bundle for the
// same change. Then what 20 connected pages cost the program while a clip plays.
#include "../net/CNetTestBench.h"
#include "../playback/CMediaFiles.h"
#include "CDatagramWait.h"
#include "CTessaroProcess.h"
#include "remote/protocol/CNetDatagram.h"

#include <QElapsedTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <QWebSocket>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kPortBase = 46650; // status 46650, commands 46651, OSC 46652, page 46653

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Drain(QUdpSocket &socket) {
    while (socket.hasPendingDatagrams())
        socket.receiveDatagram();
}

std::function<bool(const QByteArray &)> StatusWithState(int nState) {
    return [nState](const QByteArray &data) {
        CNetDatagram::Message msg;
        return CDatagramWait::Decode(data, msg) && msg.nType == CNetDatagram::TYPE_STATUS &&
               msg.status.nPlayState == nState;
    };
}

// CPU seconds the process has used so far.
double CpuSeconds(qint64 nPid) {
    QFile stat(QString("/proc/%1/stat").arg(nPid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QStringList fields = QString::fromLatin1(stat.readAll()).section(") ", 1).split(' ');
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

struct CPage {
    explicit CPage(int nPort) {
        QObject::connect(&socket, &QWebSocket::textMessageReceived,
                         [this](const QString &str) { received.push_back(str); });
        socket.open(QUrl(QString("ws://127.0.0.1:%1/ws").arg(nPort)));
    }
    QWebSocket socket;
    std::vector<QString> received;
};

TEST(WebLatencyBench, ThePageIsAsQuickAsOscAndTwentyPagesCostLittle) {
    CTessaroProcess tessaro(kPortBase);
    tessaro.PresetSetting("OSC/Port", kPortBase + 2);
    tessaro.PresetSetting("Web/Port", kPortBase + 3);
    ASSERT_TRUE(tessaro.Start());
    QUdpSocket status, feedback, sender;
    ASSERT_TRUE(status.bind(QHostAddress::LocalHost, quint16(tessaro.StatusPort())));
    ASSERT_TRUE(feedback.bind(QHostAddress::LocalHost, 0));
    const QString strStill = tessaro.WorkDir() + "/still.jpg";
    QFile::copy(CMediaFiles::Path("still.jpg"), strStill);
    tessaro.Remote({"open", strStill});
    tessaro.Remote({"play"});
    const auto sendOsc = [&](const QByteArray &data) {
        sender.writeDatagram(data, QHostAddress::LocalHost, quint16(kPortBase + 2));
    };
    sendOsc(CNetTestBench::OscMessage("/tessaro/subscribe", "i", feedback.localPort()));
    CPage page(kPortBase + 3);
    ASSERT_TRUE(CNetTestBench::WaitFor([&] { return !page.received.empty(); }));

    // 1. Command to status datagram: page and OSC in turn, pause and play in turn.
    std::vector<double> viaPage, viaOsc;
    for (int i = 0; i < 160; ++i) {
        QTest::qWait(110 + (i * 37) % 90);
        Drain(status);
        const bool bPause = i % 2 == 0;
        const bool bPage = (i / 2) % 2 == 0;
        QElapsedTimer timer;
        timer.start();
        if (bPage) {
            page.socket.sendTextMessage(bPause ? R"({"action":"pause","player":"A"})"
                                               : R"({"action":"play","player":"A"})");
            page.socket.flush(); // the wait below does not run the event loop
        } else
            sendOsc(CNetTestBench::OscMessage(bPause ? "/tessaro/a/pause" : "/tessaro/a/play"));
        ASSERT_FALSE(CDatagramWait::Until(status, StatusWithState(bPause ? 1 : 2), 1000).isEmpty())
            << i;
        (bPage ? viaPage : viaOsc).push_back(timer.nsecsElapsed() / 1e6);
    }
    const double dCommandRatio = Median(viaPage) / Median(viaOsc);
    printf("page command to status datagram: median %.2f ms over %zu\n", Median(viaPage),
           viaPage.size());
    printf("OSC command to status datagram:  median %.2f ms over %zu\n", Median(viaOsc),
           viaOsc.size());
    printf("ratio page / OSC: %.2f (target <= 1.5)\n", dCommandRatio);

    // 2. A change (a binary datagram, neither remote's own) until each remote hears of it.
    std::vector<double> pageHears, oscHears;
    for (int i = 0; i < 80; ++i) {
        QTest::qWait(110 + (i * 37) % 90);
        Drain(feedback);
        page.received.clear();
        const bool bPause = i % 2 == 0;
        unsigned char packet[CNetDatagram::COMMAND_SIZE];
        CNetDatagram::EncodeCommand(
            packet, {0, bPause ? CNetDatagram::CMD_PAUSE : CNetDatagram::CMD_PLAY, 0}, "");
        QElapsedTimer timer;
        timer.start();
        sender.writeDatagram(reinterpret_cast<const char *>(packet), sizeof packet,
                             QHostAddress::LocalHost, quint16(tessaro.CommandPort()));
        // Both arrivals are stamped by the same event loop, so neither side is favoured.
        double dPage = -1, dOsc = -1;
        const QString strState = QString(R"("state":%1)").arg(bPause ? 1 : 2);
        const auto oscSeen = QObject::connect(&feedback, &QUdpSocket::readyRead, [&] {
            while (feedback.hasPendingDatagrams())
                if (feedback.receiveDatagram().data().contains("/tessaro/a/state") && dOsc < 0)
                    dOsc = timer.nsecsElapsed() / 1e6;
        });
        const auto pageSeen = QObject::connect(
            &page.socket, &QWebSocket::textMessageReceived, [&](const QString &str) {
                if (dPage < 0 && str.contains(R"("a":{)") && str.contains(strState))
                    dPage = timer.nsecsElapsed() / 1e6;
            });
        QTimer wake;
        wake.start(20);
        while ((dPage < 0 || dOsc < 0) && timer.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QObject::disconnect(oscSeen);
        QObject::disconnect(pageSeen);
        ASSERT_GE(dPage, 0) << i;
        ASSERT_GE(dOsc, 0) << i;
        pageHears.push_back(dPage);
        oscHears.push_back(dOsc);
    }
    const double dChangeRatio = Median(pageHears) / Median(oscHears);
    printf("change to page update:     median %.2f ms over %zu\n", Median(pageHears),
           pageHears.size());
    printf("change to OSC feedback:    median %.2f ms over %zu\n", Median(oscHears),
           oscHears.size());
    printf("ratio page / OSC: %.2f (target <= 1.5)\n", dChangeRatio);

    // 3. CPU of the program while a clip plays, with no page and with 20 pages, in alternating
    // windows.
    const QString strClip = tessaro.WorkDir() + "/bench_small.mp4";
    QFile::copy(CMediaFiles::Path("bench_small.mp4", true), strClip);
    tessaro.Remote({"open", strClip});
    tessaro.Remote({"play"});
    page.socket.close();
    QTest::qWait(500);
    const auto cpuPercent = [&](int nMs) {
        const double dStart = CpuSeconds(tessaro.ProcessId());
        QElapsedTimer timer;
        timer.start();
        QTest::qWait(nMs);
        return 100.0 * (CpuSeconds(tessaro.ProcessId()) - dStart) / (timer.elapsed() / 1000.0);
    };
    double dAlone = 0, dWithPages = 0;
    size_t nMessages = 0;
    for (int nRound = 0; nRound < 2; ++nRound) {
        dAlone += cpuPercent(4000) / 2;
        std::vector<std::unique_ptr<CPage>> pages;
        for (int i = 0; i < 20; ++i)
            pages.push_back(std::make_unique<CPage>(kPortBase + 3));
        ASSERT_TRUE(CNetTestBench::WaitFor([&] {
            return std::all_of(pages.begin(), pages.end(),
                               [](const auto &p) { return !p->received.empty(); });
        }));
        dWithPages += cpuPercent(4000) / 2;
        for (const auto &p : pages)
            nMessages += p->received.size();
    }
    printf("CPU while a clip plays: %.2f %% without pages, %.2f %% with 20 pages (%zu messages "
           "received), difference %.2f %% (target <= 2 %%)\n",
           dAlone, dWithPages, nMessages, dWithPages - dAlone);
    EXPECT_LE(dCommandRatio, 1.5);
    EXPECT_LE(dChangeRatio, 1.5);
    EXPECT_LE(dWithPages - dAlone, 2.0);
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
}

} // namespace
