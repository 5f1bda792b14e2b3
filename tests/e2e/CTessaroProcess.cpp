#include "CTessaroProcess.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QThread>

#include <csignal>

CTessaroProcess::CTessaroProcess(int nPortBase) : m_nPortBase(nPortBase) {
    // Never the default broadcast target: status datagrams stay on this machine.
    PresetSetting("Network/StatusAddress", "127.0.0.1");
    PresetSetting("Network/StatusPort", nPortBase);
    PresetSetting("Network/CommandPort", nPortBase + 1);
    PresetSetting("OSC/Port", 0); // a test that wants OSC gives it a port of its own
    PresetSetting("General/m_bShowSplash", 0);
}

CTessaroProcess::~CTessaroProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString CTessaroProcess::ConfigFile() const {
    return m_config.path() + "/ovak/Tessaro.conf";
}

void CTessaroProcess::PresetSetting(const QString &strKey, const QVariant &value) {
    QDir().mkpath(m_config.path() + "/ovak");
    QSettings settings(ConfigFile(), QSettings::NativeFormat);
    settings.setValue(strKey, value);
}

bool CTessaroProcess::PresetPlaylist(const QString &strSource, const QStringList &names,
                                     int nSeconds) {
    QByteArray m3u = "#EXTM3U\r\n";
    for (const QString &strName : names) {
        const QString strPath = WorkDir() + "/" + strName;
        if (!QFile::copy(strSource, strPath))
            return false;
        m3u += "#EXTINF:" + QByteArray::number(nSeconds) + "," + strName.toUtf8() + "\r\n" +
               strPath.toUtf8() + "\r\n";
    }
    QFile file(WorkDir() + "/LastPLS.dat");
    return file.open(QIODevice::WriteOnly) && file.write(m3u) == m3u.size();
}

bool CTessaroProcess::Start(const QStringList &args) {
    const QString strBuild = qEnvironmentVariable("TESSARO_BUILD_DIR");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", m_config.path());
    env.insert("QT_QPA_PLATFORM", m_strDisplay.isEmpty() ? "offscreen" : "xcb");
    if (!m_strDisplay.isEmpty())
        env.insert("DISPLAY", m_strDisplay);
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_work.path());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(strBuild + "/tessaro", args);
    if (!m_process.waitForStarted(5000))
        return false;
    // Give it time to come up to its event loop; a signal before that must still work,
    // but the tests want the full start-up path. On a busy machine that takes longer: a
    // command sent before the program has bound its socket would be lost.
    QThread::msleep(1500);
    WaitForEventLoop(20000);
    return m_process.state() == QProcess::Running;
}

bool CTessaroProcess::WaitForEventLoop(int nTimeoutMs) {
    // The main thread waits in poll() only in its event loop: start-up opens and preroll
    // waits sleep on a futex. Three looks in a row rule out a poll in passing.
    QFile wchan(QString("/proc/%1/wchan").arg(m_process.processId()));
    int nInPoll = 0;
    for (int nWaited = 0; nWaited < nTimeoutMs; nWaited += 50) {
        if (!wchan.open(QIODevice::ReadOnly))
            return false;
        const bool bPoll = wchan.readAll().contains("poll");
        wchan.close();
        if (bPoll && ++nInPoll == 3)
            return true;
        if (!bPoll)
            nInPoll = 0;
        // Also notices an exit, which QProcess learns of only while it waits.
        if (m_process.waitForFinished(50))
            return false;
    }
    return false;
}

bool CTessaroProcess::Terminate(int nSignal, int nTimeoutMs) {
    ::kill(static_cast<pid_t>(m_process.processId()), nSignal);
    return WaitForExit(nTimeoutMs);
}

bool CTessaroProcess::WaitForExit(int nTimeoutMs) {
    // It may have ended already, seen while the start was waited for.
    const bool bDone =
        m_process.state() == QProcess::NotRunning || m_process.waitForFinished(nTimeoutMs);
    m_strOutput += QString::fromLocal8Bit(m_process.readAll());
    return bDone;
}

QStringList CTessaroProcess::Remote(const QStringList &args, int *pExitCode) const {
    QProcess remote;
    const QStringList all = QStringList{"-H", "127.0.0.1",
                                        "-p", QString::number(CommandPort()),
                                        "-l", QString::number(StatusPort()),
                                        "-b", "127.0.0.1"} +
                            args;
    remote.start(qEnvironmentVariable("TESSARO_BUILD_DIR") + "/tessaro-remote", all);
    remote.waitForFinished(30000);
    if (pExitCode)
        *pExitCode = remote.exitCode();
    return QString::fromUtf8(remote.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}
