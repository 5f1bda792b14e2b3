#include "CDatagramWait.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>

QByteArray CDatagramWait::Until(QUdpSocket &socket,
                                const std::function<bool(const QByteArray &)> &accept,
                                int nTimeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < nTimeoutMs) {
        if (!socket.hasPendingDatagrams())
            socket.waitForReadyRead(2);
        while (socket.hasPendingDatagrams()) {
            const QByteArray data = socket.receiveDatagram().data();
            if (accept(data))
                return data;
        }
    }
    return {};
}

bool CDatagramWait::Decode(const QByteArray &data, CNetDatagram::Message &msg) {
    return CNetDatagram::DecodeMessage(reinterpret_cast<const unsigned char *>(data.data()),
                                       size_t(data.size()), msg);
}
