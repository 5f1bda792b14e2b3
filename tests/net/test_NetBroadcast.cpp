// The true defaults (status to 255.255.255.255:31772, commands on 31773), tried only inside a
// private network namespace whose one interface is loopback, so nothing leaves the machine.
#include "CNetTestBench.h"

#include "core/CGeneralSettings.h"
#include "core/UserMessages.h"
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

const char *const kInsideFlag = "TESSARO_NET_TEST_IN_NAMESPACE";
const char *const kTestName = "NetBroadcast.DefaultsReachListenersInsideAPrivateNamespace";
constexpr int kSkipCode = 77;

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

// Re-runs this test program, filtered to the one test, in a fresh network namespace.
// Returns the child's exit code, or kSkipCode when no namespace can be made here.
int RunInsideNamespace(QString &strOutput) {
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {QStringLiteral("-n"), QStringLiteral("true")});
    if (!probe.waitForFinished(5000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0)
        return kSkipCode;

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
                 QStringLiteral("--gtest_filter=") + QString::fromLatin1(kTestName)});
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        strOutput = QStringLiteral("timed out\n") + QString::fromLocal8Bit(child.readAll());
        return -1;
    }
    strOutput = QString::fromLocal8Bit(child.readAll());
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

} // namespace

TEST(NetBroadcast, DefaultsReachListenersInsideAPrivateNamespace) {
    if (!qEnvironmentVariableIsSet(kInsideFlag)) {
        QString strOutput;
        const int nCode = RunInsideNamespace(strOutput);
        if (nCode == kSkipCode)
            GTEST_SKIP() << "no private network namespace here (unshare -n needs root): the "
                            "limited-broadcast default is not exercised";
        EXPECT_EQ(nCode, 0) << strOutput.toStdString();
        return;
    }

    // From here on this runs in the namespace, and makes sure of it before sending anything.
    ASSERT_TRUE(OnlyLoopback()) << "not in a private network namespace: refusing to broadcast";

    CMemoryProfile profile; // nothing stored: every Network value is its default
    CGeneralSettings settings(profile);
    CRecordingSink sink;
    CManualTickClock clock;
    CNetServer server(sink, profile, settings, clock);
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

    server.m_nPlayState = 2;
    server.m_nCurPlayer = 1;
    server.SetMediaName(QStringLiteral("clip.mp4"));
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
    ASSERT_TRUE(CNetTestBench::WaitFor([&] { return !sink.m_messages.empty(); }));
    EXPECT_EQ(sink.m_messages[0], (CRecordingSink::Message{WM_NET_PLAY, 1, 0}));
}
