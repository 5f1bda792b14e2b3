// Runs the real tessaro binary for end-to-end tests: its own settings folder and working
// directory, the offscreen platform, and the network pointed at loopback ports of its own.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class CTessaroProcess {
public:
    // nPortBase gives the status port (nPortBase) and the command port (nPortBase + 1).
    explicit CTessaroProcess(int nPortBase);
    ~CTessaroProcess();

    QString ConfigFile() const; // .../ovak/Tessaro.conf
    int StatusPort() const { return m_nPortBase; }
    int CommandPort() const { return m_nPortBase + 1; }
    bool IsRunning() const { return m_process.state() == QProcess::Running; }
    qint64 ProcessId() const { return m_process.processId(); }
    // Runs tessaro-remote against this instance's ports; its output lines, as JSON objects
    // where it printed JSON.
    QStringList Remote(const QStringList &args, int *pExitCode = nullptr) const;
    QString WorkDir() const { return m_work.path(); }
    // Writes "[Section] key=value" pairs before the start, as a user's earlier run would.
    void PresetSetting(const QString &strKey, const QVariant &value);
    // "LastPLS.dat" of an earlier run: a copy of strSource in the work folder under each name,
    // listed in that order with a length of nSeconds.
    bool PresetPlaylist(const QString &strSource, const QStringList &names, int nSeconds);
    // Runs on that X display (xcb) instead of the offscreen platform. Before Start.
    void SetDisplay(const QString &strDisplay) { m_strDisplay = strDisplay; }
    bool Start(const QStringList &args = {});
    // Until the program's main thread waits in its event loop (its start-up done); false when
    // it did not within nTimeoutMs.
    bool WaitForEventLoop(int nTimeoutMs);
    // Sends the signal and waits for the exit; false when it did not end in time.
    bool Terminate(int nSignal, int nTimeoutMs = 10000);
    // Waits for an exit the program comes to itself; false when it did not end in time.
    bool WaitForExit(int nTimeoutMs);
    int ExitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus ExitStatus() const { return m_process.exitStatus(); }
    QString Output() const { return m_strOutput; }

private:
    int m_nPortBase;
    QTemporaryDir m_config;
    QTemporaryDir m_work;
    QProcess m_process;
    QString m_strOutput;
    QString m_strDisplay;
};
