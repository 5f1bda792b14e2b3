// The true defaults (status to 255.255.255.255:31772, commands on 31773), tried only inside a
// private network namespace whose one interface is loopback, so nothing leaves the machine.
#include "CNetTestBench.h"

#include "remote/CNetServer.h"
#include "support/CManualTickClock.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

const char *const kTestName = "NetBroadcast.DefaultsReachListenersInsideAPrivateNamespace";

bool OnlyLoopback() {
    for (const QNetworkInterface &iface : QNetworkInterface::allInterfaces())
        if (!iface.flags().testFlag(QNetworkInterface::IsLoopBack))
            return false;
    return true;
}

QString ToolPath() {
    const QString strBuild = qEnvironmentVariable(
        "TESSARO_BUILD_DIR", QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    return strBuild + QStringLiteral("/tessaro-remote");
}

} // namespace

TEST(NetBroadcast, DefaultsReachListenersInsideAPrivateNamespace) {
    if (!CNetTestBench::InPrivateNamespace()) {
        QString strOutput;
        const int nCode = CNetTestBench::RunInPrivateNamespace(kTestName, strOutput);
        if (nCode == CNetTestBench::SKIPPED)
            GTEST_SKIP() << "no private network namespace here (unshare -n needs root): the "
                            "limited-broadcast default is not exercised";
        EXPECT_EQ(nCode, 0) << strOutput.toStdString();
        return;
    }

    // From here on this runs in the namespace, and makes sure of it before sending anything.
    ASSERT_TRUE(OnlyLoopback()) << "not in a private network namespace: refusing to broadcast";

    CMemoryProfile profile; // nothing stored: every Network value is its default
    CRecordingSink sink;
    CManualTickClock clock;
    CNetServer server(sink, profile, clock);
    ASSERT_TRUE(server.InitServer());
    EXPECT_EQ(server.GetStatusAddress(), QHostAddress(QStringLiteral("255.255.255.255")));
    EXPECT_EQ(server.GetStatusPort(), 31772);
    EXPECT_EQ(server.GetCommandPort(), 31773);

    // tessaro-remote with its own defaults listens on 0.0.0.0:31772.
    QProcess tool;
    tool.start(ToolPath(),
               {QStringLiteral("listen"), QStringLiteral("--json"), QStringLiteral("--type"),
                QStringLiteral("status"), QStringLiteral("-n"), QStringLiteral("1"),
                QStringLiteral("-t"), QStringLiteral("10000")});
    ASSERT_TRUE(tool.waitForStarted(3000));

    server.SetStatus({0, 0, 2, 0, 1}, QStringLiteral("clip.mp4"));
    // Keep broadcasting until the tool (which binds a little after it starts) has heard one.
    ASSERT_TRUE(CNetTestBench::WaitFor(
        [&] {
            server.SendStatus();
            return tool.waitForFinished(50);
        },
        10000));
    EXPECT_EQ(tool.exitCode(), 0);
    const QJsonObject status = QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
    EXPECT_EQ(status["name"].toString(), "clip.mp4");
    EXPECT_EQ(status["player"].toInt(), 1);

    // And the default command port, with the tool's own defaults.
    QProcess play;
    play.start(ToolPath(), {QStringLiteral("-P"), QStringLiteral("B"), QStringLiteral("play")});
    ASSERT_TRUE(play.waitForFinished(5000));
    EXPECT_EQ(play.exitCode(), 0);
    ASSERT_TRUE(CNetTestBench::WaitFor([&] { return !sink.m_commands.empty(); }));
    EXPECT_EQ(sink.m_commands[0],
              Cmd(CCommand::Play{CCommand::Player::Id(1)}, CCommand::Origin::Net));
}
