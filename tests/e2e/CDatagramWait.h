// Reads what arrives at a test's listening socket until the datagram it waits for comes.
#pragma once

#include "remote/protocol/CNetDatagram.h"

#include <QByteArray>
#include <QUdpSocket>
#include <functional>

class CDatagramWait {
public:
    // The first datagram accept() takes, or an empty array after nTimeoutMs.
    static QByteArray Until(QUdpSocket &socket,
                            const std::function<bool(const QByteArray &)> &accept, int nTimeoutMs);
    // A status or text datagram of the remote protocol; false for anything else.
    static bool Decode(const QByteArray &data, CNetDatagram::Message &msg);
};
