#include "CRemoteClient.h"

#include "COscClient.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUdpSocket>

namespace {

// Quoted with C escapes, so a text's own line feed or quotes never break the line format.
QString Quote(const QString &str) {
    QString out = QStringLiteral("\"");
    for (const QChar c : str) {
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + QLatin1Char('"');
}

// The player takes commands over IPv4 (its status goes out as IPv4 broadcasts), so only an
// IPv4 address will do. False with the reason in strError otherwise.
bool ResolveHost(const QString &strHost, QHostAddress &address, QString &strError) {
    const QString strIPv4Only = QStringLiteral("only IPv4 hosts are supported: %1").arg(strHost);
    if (address.setAddress(strHost)) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return true;
        strError = strIPv4Only;
        return false;
    }
    const QHostInfo info = QHostInfo::fromName(strHost);
    for (const QHostAddress &a : info.addresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            address = a;
            return true;
        }
    }
    strError =
        info.addresses().isEmpty() ? QStringLiteral("unknown host: %1").arg(strHost) : strIPv4Only;
    return false;
}

void PrintLine(FILE *pFile, const QString &strLine) {
    const QByteArray utf8 = strLine.toUtf8();
    std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), pFile);
    std::fputc('\n', pFile);
    std::fflush(pFile); // scripts read the lines as they come
}

} // namespace

QString CRemoteClient::FormatMessage(const CNetDatagram::Message &msg, const QString &strFrom,
                                     bool bJson) {
    const bool bStatus = msg.nType == CNetDatagram::TYPE_STATUS;
    const QString strName = QString::fromUtf8(msg.strName.data(), qsizetype(msg.strName.size()));
    const QString strText = QString::fromUtf8(msg.strText.data(), qsizetype(msg.strText.size()));
    if (bJson) {
        QJsonObject o;
        o[QLatin1String("type")] = bStatus ? QLatin1String("status") : QLatin1String("text");
        if (bStatus) {
            o[QLatin1String("player")] = msg.status.nCurPlayer;
            o[QLatin1String("state")] = msg.status.nPlayState;
            o[QLatin1String("position")] = msg.status.nPosition;
            o[QLatin1String("duration")] = msg.status.nDuration;
            o[QLatin1String("volume")] = msg.status.nVolume;
            o[QLatin1String("name")] = strName;
        } else {
            o[QLatin1String("text")] = strText;
        }
        if (!strFrom.isEmpty())
            o[QLatin1String("from")] = strFrom;
        return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
    }
    if (bStatus)
        return QStringLiteral("status player=%1 state=%2 position=%3 duration=%4 volume=%5 name=%6")
            .arg(msg.status.nCurPlayer)
            .arg(msg.status.nPlayState)
            .arg(msg.status.nPosition)
            .arg(msg.status.nDuration)
            .arg(msg.status.nVolume)
            .arg(Quote(strName));
    return QStringLiteral("text %1").arg(Quote(strText));
}

QString CRemoteClient::FormatSync(const QVariantList &args, bool bJson) {
    const QString strRole = args.value(0).toString();
    const double dOffset = args.value(1).toDouble();
    const int nFollowers = args.value(2).toInt();
    const QString strHealth = args.value(3).toString();
    const QString strSince = args.value(4).toString();
    if (bJson) {
        QJsonObject o{{"type", "sync"},      {"role", strRole},         {"health", strHealth},
                      {"offsetMs", dOffset}, {"followers", nFollowers}, {"lostSince", strSince}};
        return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
    }
    return QStringLiteral("sync role=%1 health=%2 offset=%3 followers=%4 lostSince=%5")
        .arg(strRole, Quote(strHealth), QString::number(dOffset, 'f', 1))
        .arg(nFollowers)
        .arg(Quote(strSince));
}

int CRemoteClient::RunOsc(FILE *pOut, FILE *pErr) {
    QHostAddress address, bind;
    QString strError;
    if (!ResolveHost(m_options.m_strHost, address, strError)) {
        PrintLine(pErr, QStringLiteral("tessaro-remote: ") + strError);
        return EXIT_NETWORK;
    }
    if (!bind.setAddress(m_options.m_strBind) || bind.protocol() != QAbstractSocket::IPv4Protocol) {
        PrintLine(pErr,
                  QStringLiteral("tessaro-remote: bad bind address: %1").arg(m_options.m_strBind));
        return EXIT_NETWORK;
    }
    COscClient osc;
    if (!osc.Open(bind, strError)) {
        PrintLine(pErr, QStringLiteral("tessaro-remote: cannot bind %1: %2")
                            .arg(m_options.m_strBind, strError));
        return EXIT_NETWORK;
    }
    const quint16 nPort = quint16(m_options.m_nOscPort);
    const bool bSync = m_options.m_action == CRemoteOptions::ACTION_SYNC;
    const QByteArray path = "/tessaro/" + m_options.m_strMode.toLatin1();
    // Subscribed first: the player answers with its whole state, then with what changed.
    const bool bSent =
        (!(bSync || m_options.m_bWait) ||
         osc.Send(address, nPort, "/tessaro/subscribe", false, 0)) &&
        (bSync || osc.Send(address, nPort, path.constData(), true, m_options.m_nValue));
    if (!bSent) {
        PrintLine(pErr, QStringLiteral("tessaro-remote: cannot send to %1:%2")
                            .arg(address.toString())
                            .arg(nPort));
        return EXIT_NETWORK;
    }
    if (!bSync && !m_options.m_bWait)
        return EXIT_OK;
    QElapsedTimer timer;
    timer.start();
    QString strLast; // the mode's value last heard
    while (timer.elapsed() < m_options.m_nTimeoutMs) {
        for (const COscClient::Message &msg :
             osc.Receive(m_options.m_nTimeoutMs - int(timer.elapsed()))) {
            if (bSync && msg.path == "/tessaro/sync") {
                PrintLine(pOut, FormatSync(msg.args, m_options.m_bJson));
                return EXIT_OK;
            }
            if (!bSync && msg.path == path && !msg.args.isEmpty()) {
                strLast = QString::number(msg.args[0].toInt());
                if (msg.args[0].toInt() == m_options.m_nValue) {
                    PrintLine(pOut, QStringLiteral("%1 %2").arg(m_options.m_strMode, strLast));
                    return EXIT_OK;
                }
            }
        }
    }
    PrintLine(pErr, bSync
                        ? QStringLiteral("tessaro-remote: no sync state from %1:%2 within %3 ms")
                              .arg(address.toString())
                              .arg(nPort)
                              .arg(m_options.m_nTimeoutMs)
                        : QStringLiteral("tessaro-remote: %1 not %2 at %3:%4 within %5 ms%6")
                              .arg(m_options.m_strMode)
                              .arg(m_options.m_nValue)
                              .arg(address.toString())
                              .arg(nPort)
                              .arg(m_options.m_nTimeoutMs)
                              .arg(strLast.isEmpty() ? QString()
                                                     : QStringLiteral(" (it is %1)").arg(strLast)));
    return EXIT_TIMEOUT;
}

int CRemoteClient::Run(FILE *pOut, FILE *pErr) {
    switch (m_options.m_action) {
    case CRemoteOptions::ACTION_MODE:
    case CRemoteOptions::ACTION_SYNC:
        return RunOsc(pOut, pErr);
    case CRemoteOptions::ACTION_HELP:
        PrintLine(pOut, CRemoteOptions::Usage().trimmed());
        return EXIT_OK;
    case CRemoteOptions::ACTION_LISTEN: {
        QUdpSocket socket;
        if (!OpenListener(socket, pErr))
            return EXIT_NETWORK;
        return Listen(socket, pOut);
    }
    case CRemoteOptions::ACTION_SEND:
        break;
    }
    // Bound before sending, so the answer to this very command is not missed.
    QUdpSocket listener;
    if (m_options.m_bListenAfterSend && !OpenListener(listener, pErr))
        return EXIT_NETWORK;
    const int nResult = Send(pErr);
    if (nResult != EXIT_OK || !m_options.m_bListenAfterSend)
        return nResult;
    const int nListened = Listen(listener, pOut);
    if (nListened == EXIT_TIMEOUT && m_options.m_bWait)
        PrintLine(pErr, QStringLiteral("tessaro-remote: no answer on port %1 within %2 ms (is a "
                                       "player at %3:%4?)")
                            .arg(m_options.m_nListenPort)
                            .arg(m_options.m_nTimeoutMs)
                            .arg(m_options.m_strHost)
                            .arg(m_options.m_nPort));
    return nListened;
}

bool CRemoteClient::OpenListener(QUdpSocket &socket, FILE *pErr) {
    QHostAddress address;
    if (!address.setAddress(m_options.m_strBind) ||
        address.protocol() != QAbstractSocket::IPv4Protocol) {
        PrintLine(pErr,
                  QStringLiteral("tessaro-remote: bad bind address: %1").arg(m_options.m_strBind));
        return false;
    }
    // Shared, so several controllers on one machine all hear the broadcasts.
    if (!socket.bind(address, static_cast<quint16>(m_options.m_nListenPort),
                     QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        PrintLine(pErr, QStringLiteral("tessaro-remote: cannot listen on %1:%2: %3")
                            .arg(m_options.m_strBind)
                            .arg(m_options.m_nListenPort)
                            .arg(socket.errorString()));
        return false;
    }
    return true;
}

int CRemoteClient::Send(FILE *pErr) {
    QHostAddress address;
    QString strError;
    if (!ResolveHost(m_options.m_strHost, address, strError)) {
        PrintLine(pErr, QStringLiteral("tessaro-remote: ") + strError);
        return EXIT_NETWORK;
    }
    CNetDatagram::Command cmd;
    cmd.nPlayerId = m_options.m_nPlayerId;
    cmd.nCode = m_options.m_nCode;
    cmd.nValue = m_options.m_nValue;
    unsigned char datagram[CNetDatagram::COMMAND_SIZE];
    CNetDatagram::EncodeCommand(datagram, cmd, m_options.m_strText.toUtf8().constData());

    QUdpSocket socket;
    const qint64 nSent =
        socket.writeDatagram(reinterpret_cast<const char *>(datagram), sizeof datagram, address,
                             static_cast<quint16>(m_options.m_nPort));
    if (nSent != static_cast<qint64>(sizeof datagram)) {
        PrintLine(pErr, QStringLiteral("tessaro-remote: cannot send to %1:%2: %3")
                            .arg(address.toString())
                            .arg(m_options.m_nPort)
                            .arg(socket.errorString()));
        return EXIT_NETWORK;
    }
    return EXIT_OK;
}

int CRemoteClient::Listen(QUdpSocket &socket, FILE *pOut) {
    QElapsedTimer timer;
    timer.start();
    int nPrinted = 0;
    // One byte more than a valid datagram, so a longer one shows as too long.
    unsigned char buffer[CNetDatagram::MESSAGE_SIZE + 1];
    for (;;) {
        if (m_options.m_nCount > 0 && nPrinted >= m_options.m_nCount)
            return EXIT_OK;
        int nWait = -1;
        if (m_options.m_nTimeoutMs >= 0) {
            nWait = m_options.m_nTimeoutMs - static_cast<int>(timer.elapsed());
            if (nWait <= 0)
                break;
        }
        if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(nWait))
            continue; // the loop head decides whether time is up
        QHostAddress sender;
        quint16 nSenderPort = 0;
        const qint64 nRead = socket.readDatagram(reinterpret_cast<char *>(buffer), sizeof buffer,
                                                 &sender, &nSenderPort);
        CNetDatagram::Message msg;
        if (nRead < 0 || !CNetDatagram::DecodeMessage(buffer, static_cast<size_t>(nRead), msg))
            continue;
        const bool bStatus = msg.nType == CNetDatagram::TYPE_STATUS;
        if ((m_options.m_filter == CRemoteOptions::FILTER_STATUS && !bStatus) ||
            (m_options.m_filter == CRemoteOptions::FILTER_TEXT && bStatus))
            continue;
        const QString strFrom = QStringLiteral("%1:%2").arg(sender.toString()).arg(nSenderPort);
        PrintLine(pOut, FormatMessage(msg, strFrom, m_options.m_bJson));
        ++nPrinted;
    }
    // Time is up: that is success unless a count was asked for and not reached.
    return m_options.m_nCount > 0 && nPrinted < m_options.m_nCount ? EXIT_TIMEOUT : EXIT_OK;
}
