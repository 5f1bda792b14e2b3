// The browser remote in Debian's chromium, against the real program: the page's buttons end in
// the same status datagrams as any other input, its countdown runs, a playlist row opens in a
// player, the mute toggles both ways and keeps the level, a wrong password is refused and a host
// outside AllowFrom is cut off. Screenshots of the page at a tablet's and a phone's size are left
// in the build folder.
#include "../playback/CMediaFiles.h"
#include "CCdpBrowser.h"
#include "CDatagramWait.h"
#include "CTessaroProcess.h"
#include "remote/protocol/CNetDatagram.h"

#include <QFile>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>
#include <QWebSocket>
#include <csignal>
#include <gtest/gtest.h>

namespace {

constexpr int kPortBase = 46640; // status 46640, commands 46641, page 46642; 46645.. the second

QString PageUrl(int nPort) {
    return QString("http://127.0.0.1:%1/").arg(nPort);
}

void SaveScreenshot(CCdpBrowser &browser, int nWidth, int nHeight) {
    browser.SetViewport(nWidth, nHeight);
    QTest::qWait(150);
    const QString strPath = qEnvironmentVariable("TESSARO_BUILD_DIR") +
                            QString("/tests/web-remote-%1x%2.png").arg(nWidth).arg(nHeight);
    QFile file(strPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray png = browser.Screenshot();
    EXPECT_TRUE(png.startsWith("\x89PNG"));
    file.write(png);
}

std::function<bool(const QByteArray &)> StatusOf(int nPlayer, int nState) {
    return [=](const QByteArray &data) {
        CNetDatagram::Message msg;
        return CDatagramWait::Decode(data, msg) && msg.nType == CNetDatagram::TYPE_STATUS &&
               msg.status.nCurPlayer == nPlayer && msg.status.nPlayState == nState;
    };
}

std::function<bool(const QByteArray &)> VolumeOf(int nPercent) {
    return [=](const QByteArray &data) {
        CNetDatagram::Message msg;
        return CDatagramWait::Decode(data, msg) && msg.nType == CNetDatagram::TYPE_STATUS &&
               msg.status.nVolume == nPercent;
    };
}

std::function<bool(const QByteArray &)> Text(const QByteArray &line) {
    return [=](const QByteArray &data) {
        CNetDatagram::Message msg;
        return CDatagramWait::Decode(data, msg) && msg.nType == CNetDatagram::TYPE_TEXT &&
               msg.strText == line.toStdString();
    };
}

// The first line of the answer to a plain GET of "/" from a given local address.
QByteArray StatusLineFrom(const QHostAddress &from, int nPort) {
    QTcpSocket socket;
    socket.bind(from, 0);
    socket.connectToHost(QHostAddress::LocalHost, quint16(nPort));
    if (!socket.waitForConnected(3000))
        return "no connection";
    socket.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    socket.waitForReadyRead(3000);
    return socket.readLine().trimmed();
}

} // namespace

TEST(WebRemote, PlayBFromThePageCountsDownAndRowTwoOpensInA) {
    if (CCdpBrowser::Executable().isEmpty())
        GTEST_SKIP() << "chromium missing (Debian package chromium)";
    CTessaroProcess tessaro(kPortBase);
    ASSERT_TRUE(tessaro.PresetPlaylist(CMediaFiles::Path("clip.mp4"), {"one.mp4", "two.mp4"}, 2));
    tessaro.PresetSetting("Playlist/m_CurTrack", 0);
    tessaro.PresetSetting("Web/Port", kPortBase + 2);
    ASSERT_TRUE(tessaro.Start());
    QUdpSocket status;
    ASSERT_TRUE(status.bind(QHostAddress::LocalHost, quint16(tessaro.StatusPort())));

    CCdpBrowser browser;
    QString strError;
    ASSERT_TRUE(browser.Start(strError)) << strError.toStdString();
    browser.SetViewport(1280, 800);
    ASSERT_TRUE(browser.Navigate(PageUrl(kPortBase + 2)));
    ASSERT_TRUE(browser.WaitUntil("document.getElementById('link').textContent === 'Connected'"));
    ASSERT_TRUE(browser.WaitUntil("document.querySelectorAll('#rows li').length === 2"));
    // Player A holds the current entry, so B is still empty.
    EXPECT_EQ(browser.Evaluate("document.querySelector('#player-a [data-field=name]').textContent")
                  .toString(),
              "one.mp4");

    // A tap selects row 2, "Open in B" opens it: the binary protocol's ":2" open.
    const auto openRow2In = [&](const char *pszPlayer) {
        status.readAll();
        ASSERT_TRUE(browser.ClickElement("document.querySelector('[data-row=\"1\"]')"));
        ASSERT_TRUE(browser.ClickButton(QString("Open in ") + pszPlayer));
        EXPECT_FALSE(CDatagramWait::Until(status,
                                          Text(QByteArray("Player ") + pszPlayer +
                                               ": Opening Stream ( two.mp4 ) successful.\n"),
                                          3000)
                         .isEmpty());
        EXPECT_TRUE(browser.WaitUntil(QString("document.querySelector('#player-%1 "
                                              "[data-field=name]').textContent === 'two.mp4'")
                                          .arg(QString(pszPlayer).toLower())));
    };
    openRow2In("B");

    ASSERT_TRUE(browser.ClickButton("Play B"));
    EXPECT_FALSE(CDatagramWait::Until(status, StatusOf(1, 2), 2000).isEmpty());
    const QString strRemainingB = "document.querySelector('#player-b [data-field=remaining]')"
                                  ".textContent";
    ASSERT_TRUE(browser.WaitUntil("document.querySelector('#player-b').classList.contains("
                                  "'playing') && " +
                                  strRemainingB + " === '-0:00:02'"));
    EXPECT_EQ(browser.Evaluate("document.querySelector('#player-b [data-field=state]').textContent")
                  .toString(),
              "Playing");
    SaveScreenshot(browser, 1280, 800);
    // The countdown runs: a second later it shows a second less.
    EXPECT_TRUE(browser.WaitUntil(strRemainingB + " === '-0:00:01'", 1500));

    openRow2In("A");
    EXPECT_TRUE(browser.WaitUntil("[...document.querySelectorAll('#texts li')].some(li => "
                                  "li.textContent === 'AOpening Stream ( two.mp4 ) successful.')"));
    SaveScreenshot(browser, 390, 844);

    // The operator sets 40 %, mutes and unmutes from the page: the button shows each state, the
    // slider keeps showing 40 meanwhile, and the program is back at 40 % afterwards.
    status.readAll();
    browser.Evaluate("(() => { const v = document.getElementById('volume'); v.value = 40; "
                     "v.dispatchEvent(new Event('input')); v.dispatchEvent(new Event('change')); "
                     "})()");
    EXPECT_FALSE(CDatagramWait::Until(status, VolumeOf(40), 2000).isEmpty());
    const QString strMute = "document.getElementById('mute').getAttribute('aria-pressed')";
    const QString strSlider = "document.getElementById('volume').value";
    ASSERT_TRUE(browser.ClickButton("Mute"));
    EXPECT_TRUE(browser.WaitUntil(strMute + " === 'true'"));
    EXPECT_FALSE(CDatagramWait::Until(status, VolumeOf(0), 2000).isEmpty());
    QTest::qWait(300); // a state message or two while muted
    EXPECT_EQ(browser.Evaluate(strSlider).toString(), "40");
    status.readAll();
    ASSERT_TRUE(browser.ClickButton("Mute"));
    EXPECT_TRUE(browser.WaitUntil(strMute + " === 'false'"));
    EXPECT_FALSE(CDatagramWait::Until(status, VolumeOf(40), 2000).isEmpty());
    EXPECT_EQ(browser.Evaluate(strSlider).toString(), "40");

    // The link drops with the program: the page says so and greys its controls.
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
    EXPECT_TRUE(
        browser.WaitUntil("document.getElementById('controls').disabled && "
                          "document.getElementById('link').textContent.includes('reconnecting')"));
}

TEST(WebRemote, AWrongPasswordIsRefusedAndAHostOutsideAllowFromIsCutOff) {
    if (CCdpBrowser::Executable().isEmpty())
        GTEST_SKIP() << "chromium missing (Debian package chromium)";
    constexpr int kBase = kPortBase + 5;
    CTessaroProcess tessaro(kBase);
    tessaro.PresetSetting("Web/Port", kBase + 2);
    tessaro.PresetSetting("Web/Password", "stage left");
    tessaro.PresetSetting("Network/AllowFrom", "127.0.0.1");
    ASSERT_TRUE(tessaro.Start());

    // Linux answers on all of 127/8: a second loopback address stands for another host.
    EXPECT_EQ(StatusLineFrom(QHostAddress("127.0.0.2"), kBase + 2), "");
    EXPECT_EQ(StatusLineFrom(QHostAddress::LocalHost, kBase + 2), "HTTP/1.1 303 See Other");

    // Without a session the live link is closed at once, saying why.
    QWebSocket link;
    int nCloseCode = 0;
    QObject::connect(&link, &QWebSocket::disconnected, [&] { nCloseCode = link.closeCode(); });
    link.open(QUrl(QString("ws://127.0.0.1:%1/ws").arg(kBase + 2)));
    QTRY_VERIFY_WITH_TIMEOUT(nCloseCode != 0, 3000);
    EXPECT_EQ(nCloseCode, 4001);

    CCdpBrowser browser;
    QString strError;
    ASSERT_TRUE(browser.Start(strError)) << strError.toStdString();
    ASSERT_TRUE(browser.Navigate(PageUrl(kBase + 2)));
    ASSERT_TRUE(browser.WaitUntil("location.pathname === '/login'"));
    const auto logIn = [&](const char *pszPassword) {
        browser.Evaluate(
            QString("document.getElementById('password').value = '%1'").arg(pszPassword));
        return browser.ClickButton("Log in");
    };
    ASSERT_TRUE(logIn("stage right"));
    ASSERT_TRUE(browser.WaitUntil("document.body.textContent.includes('Wrong password.')"));
    EXPECT_EQ(browser.Evaluate("location.pathname").toString(), "/login");
    EXPECT_EQ(browser.Evaluate("document.cookie").toString(), ""); // HttpOnly, and none yet

    ASSERT_TRUE(logIn("stage left"));
    EXPECT_TRUE(browser.WaitUntil("location.pathname === '/' && "
                                  "document.getElementById('link').textContent === 'Connected'"));
    EXPECT_EQ(browser.Evaluate("document.cookie").toString(), ""); // the session is HttpOnly
    ASSERT_TRUE(tessaro.Terminate(SIGTERM));
}
