// A virtual X server of the test's own, with one or more screens: the real binary can run on
// it, a test can drive its menus with xdotool and can kill it under the program.
#pragma once

#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>

class CXvfbServer {
public:
    ~CXvfbServer();

    // Starts Xvfb with one screen per size (the server picks a free display number); false
    // when Xvfb is missing or does not come up.
    bool Start(const QList<QSize> &screens);
    QString Display() const { return m_strDisplay; }
    // Ends the server at once, as a crash of it would.
    void Kill();

    // Runs xdotool against this server; its output. Empty when xdotool is missing.
    QString XDoTool(const QStringList &args) const;
    static bool HaveXDoTool();

private:
    QProcess m_server;
    QString m_strDisplay;
};
