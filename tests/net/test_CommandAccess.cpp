// Who may command: the AllowFrom list fails closed on anything but an empty value, and the
// bind address it hands the command sockets serves IPv4 controllers beside IPv6 ones.
#include "core/CLogBook.h"
#include "remote/CCommandAccess.h"
#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <gtest/gtest.h>

namespace {

const QHostAddress kOutsider("10.0.0.1");

// Waits (bounded) for one datagram on the socket and returns its payload, empty when none.
QByteArray Receive(QUdpSocket &socket) {
    QElapsedTimer timer;
    timer.start();
    while (!socket.hasPendingDatagrams() && timer.elapsed() < 2000)
        socket.waitForReadyRead(50);
    return socket.hasPendingDatagrams() ? socket.receiveDatagram().data() : QByteArray();
}

} // namespace

TEST(CommandAccess, AllowFromMatchesHostsAndNetworksAndFailsClosed) {
    CCommandAccess access;
    EXPECT_TRUE(access.Allows(QHostAddress("203.0.113.9"))); // empty: everybody
    EXPECT_EQ(access.SetAllowFrom("10.0.0.0/24, 192.168.1.50;127.0.0.2 bogus 10.1.2.3/33"),
              (QStringList{"bogus", "10.1.2.3/33"}));
    EXPECT_TRUE(access.Allows(QHostAddress("10.0.0.200")));
    EXPECT_FALSE(access.Allows(QHostAddress("10.0.1.1")));
    EXPECT_TRUE(access.Allows(QHostAddress("192.168.1.50")));
    EXPECT_TRUE(access.Allows(QHostAddress("::ffff:127.0.0.2"))); // as an IPv6 socket sees it
    EXPECT_FALSE(access.Allows(QHostAddress("127.0.0.3")));
    // An IPv4-mapped network holds for senders however their socket reports them.
    access.SetAllowFrom("::ffff:10.0.0.0/120");
    EXPECT_TRUE(access.Allows(QHostAddress("10.0.0.9")));
    EXPECT_TRUE(access.Allows(QHostAddress("::ffff:10.0.0.9")));
    EXPECT_FALSE(access.Allows(QHostAddress("10.0.1.9")));

    // A value that is set but holds nothing readable lets nobody in, never everybody: blanks
    // (a quoted blank reaches us as it is), bare separators, a prefix without an address, a
    // partial address, a prefix out of range.
    for (const char *pszValue :
         {",,, ,", ";", " ", "/0", "10/8", "10.0.0.0/99", "10.0.0.0/-1", "10.0.0.0/", "::/129"}) {
        access.SetAllowFrom(pszValue);
        EXPECT_FALSE(access.Allows(kOutsider)) << pszValue;
        EXPECT_FALSE(access.Allows(QHostAddress::LocalHost)) << pszValue;
        EXPECT_TRUE(access.EntriesAdmittingEveryone().isEmpty()) << pszValue;
    }

    // One refusal line per sender and minute.
    CLogCapture log;
    access.SetAllowFrom("127.0.0.2");
    for (uint32_t t = 0; t < 130000; t += 100)
        access.Admit(QHostAddress("127.0.0.3"), t, "OnReceive()");
    access.Admit(QHostAddress("127.0.0.4"), 500, "OnReceive()");
    ASSERT_EQ(log.Lines().size(), 4u);
    EXPECT_EQ(log.Lines()[0].text,
              "OnReceive(): Command from 127.0.0.3 refused: not in AllowFrom.");
}

// What Read writes to the logbook: every way the settings may lock out or open up more than
// was meant is named.
TEST(CommandAccess, ReadNamesWhatLocksOutOrOpensUp) {
    CMemoryProfile profile;
    CCommandAccess access;
    {
        CLogCapture log;
        profile.WriteProfileString("Network", "AllowFrom", "127.0.0.2/0, 10.0.0.0/8");
        access.Read(profile, "InitServer()");
        EXPECT_TRUE(access.Allows(kOutsider));
        EXPECT_TRUE(access.Allows(QHostAddress("203.0.113.9"))); // valid, and wide open
        ASSERT_EQ(log.Lines().size(), 1u);
        EXPECT_EQ(log.Lines()[0].text,
                  "InitServer(): AllowFrom entry \"127.0.0.2/0\" admits every host.");
        EXPECT_EQ(log.Lines()[0].level, CLogBook::LEVEL_ERROR);
    }
    {
        CLogCapture log;
        profile.WriteProfileString("Network", "AllowFrom", "/0");
        access.Read(profile, "InitServer()");
        EXPECT_FALSE(access.Allows(kOutsider));
        EXPECT_TRUE(log.Contains("InitServer(): Invalid AllowFrom entry \"/0\"."));
        EXPECT_TRUE(
            log.Contains("InitServer(): AllowFrom has no valid entry; no host may command."));
    }
    {
        CLogCapture log;
        profile.WriteProfileString("Network", "AllowFrom", "");
        profile.WriteProfileString("Network", "BindAddress", "::1");
        access.Read(profile, "COscServer::Init()");
        ASSERT_EQ(log.Lines().size(), 1u);
        EXPECT_EQ(log.Lines()[0].text, "COscServer::Init(): BindAddress ::1 takes commands over "
                                       "IPv6 only.");
    }
    {
        CLogCapture log;
        profile.WriteProfileString("Network", "BindAddress", "::");
        access.Read(profile, "InitServer()");
        EXPECT_TRUE(log.Lines().empty()); // both families served: nothing to say
        EXPECT_FALSE(access.SetBindAddress("10.0.0.256"));
        EXPECT_TRUE(access.BindAddress().isNull());
    }
}

// BindAddress "::" on a real socket: an IPv4 controller commands and gets its answer as an
// IPv6 one does.
TEST(CommandAccess, WildcardIPv6BindServesIPv4Too) {
    CCommandAccess access;
    ASSERT_TRUE(access.SetBindAddress("::"));
    QUdpSocket server;
    ASSERT_TRUE(server.bind(access.BindAddress(), 0, QAbstractSocket::DontShareAddress))
        << server.errorString().toStdString();
    const quint16 nPort = server.localPort();

    QUdpSocket v4;
    ASSERT_TRUE(v4.bind(QHostAddress::LocalHost, 0));
    v4.writeDatagram("four", QHostAddress::LocalHost, nPort);
    const QByteArray from4 = Receive(server);
    EXPECT_EQ(from4, "four");
    // The answer goes back over the same socket to the plain IPv4 address.
    server.writeDatagram("back", QHostAddress::LocalHost, v4.localPort());
    EXPECT_EQ(Receive(v4), "back");

    QUdpSocket v6;
    if (!v6.bind(QHostAddress::LocalHostIPv6, 0))
        GTEST_SKIP() << "no IPv6 loopback here";
    v6.writeDatagram("six", QHostAddress::LocalHostIPv6, nPort);
    EXPECT_EQ(Receive(server), "six");
}
