#include "CXvfbServer.h"

#include <QStandardPaths>

CXvfbServer::~CXvfbServer() {
    Kill();
}

bool CXvfbServer::Start(const QList<QSize> &screens) {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty())
        return false;
    // -displayfd 1: the server writes its display number to stdout once it listens.
    QStringList args{"-displayfd", "1", "-nolisten", "tcp"};
    for (int i = 0; i < screens.size(); ++i)
        args << "-screen" << QString::number(i)
             << QString("%1x%2x24").arg(screens[i].width()).arg(screens[i].height());
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start("Xvfb", args);
    if (!m_server.waitForStarted(5000))
        return false;
    QByteArray number;
    while (!number.contains('\n') && m_server.waitForReadyRead(10000))
        number += m_server.readAllStandardOutput();
    if (!number.contains('\n'))
        return false;
    m_strDisplay = ":" + QString::fromLatin1(number.trimmed());
    return true;
}

void CXvfbServer::Kill() {
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.kill();
    m_server.waitForFinished(5000);
}

bool CXvfbServer::HaveXDoTool() {
    return !QStandardPaths::findExecutable("xdotool").isEmpty();
}

QString CXvfbServer::XDoTool(const QStringList &args) const {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", m_strDisplay);
    tool.setProcessEnvironment(env);
    tool.start("xdotool", args);
    tool.waitForFinished(10000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}
