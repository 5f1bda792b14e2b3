#include "remote/CArtNetTimecodeInput.h"

#include "core/CLogBook.h"
#include "core/CTickClock.h"
#include "remote/CArtTimeCode.h"
#include "remote/CNetServer.h"

#include <QNetworkDatagram>

CArtNetTimecodeInput::CArtNetTimecodeInput(const CCommandAccess &access, const CTickClock &clock,
                                           QObject *pParent)
    : QObject(pParent), m_access(access), m_clock(clock) {
    connect(&m_socket, &QUdpSocket::readyRead, this, &CArtNetTimecodeInput::OnReadyRead);
}

bool CArtNetTimecodeInput::Start(quint16 nPort, Handler handler) {
    m_handler = std::move(handler);
    const QHostAddress address = m_access.BindAddress();
    if (address.isNull() ||
        !m_socket.bind(address, nPort,
                       QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        LogError("Timecode: cannot listen for Art-Net timecode on %s port %d: %s\n",
                 qPrintable(address.toString()), int(nPort), qPrintable(m_socket.errorString()));
        return false;
    }
    // The first question switches the kernel's arrival stamps on.
    CNetServer::ArrivalOfLastRead(m_socket);
    LogMsg("Timecode: listening for Art-Net timecode on port %d.\n", int(m_socket.localPort()));
    return true;
}

void CArtNetTimecodeInput::OnReadyRead() {
    for (int i = 0; i < MAX_DATAGRAMS_PER_TURN && m_socket.hasPendingDatagrams(); ++i) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram(1024);
        const int64_t nArrivedNs = CNetServer::ArrivalOfLastRead(m_socket);
        const uint32_t dwNow = m_clock.GetTickCount();
        if (!m_access.Admit(datagram.senderAddress(), dwNow, "Timecode: Art-Net"))
            continue;
        const QByteArray data = datagram.data();
        const CArtTimeCode::Decoded decoded = CArtTimeCode::Decode(
            reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()));
        if (decoded.kind == CArtTimeCode::Kind::TimeCode && m_handler)
            m_handler(decoded.timecode, nArrivedNs);
        else if (decoded.kind == CArtTimeCode::Kind::Invalid && m_brokenLog.Take(dwNow))
            LogError("Timecode: ignored a broken Art-Net timecode packet of %d bytes from %s.\n",
                     int(data.size()), qPrintable(datagram.senderAddress().toString()));
    }
    // What is left wakes the socket again.
    if (m_socket.hasPendingDatagrams())
        QMetaObject::invokeMethod(this, &CArtNetTimecodeInput::OnReadyRead, Qt::QueuedConnection);
}
