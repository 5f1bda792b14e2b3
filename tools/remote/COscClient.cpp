#include "COscClient.h"

#include <QElapsedTimer>

#include <cstdlib>
#include <cstring>
#include <lo/lo.h>

namespace {

// liblo's arguments are 4-byte aligned while its union asks for 8: read them as bytes.
template <typename T> T ArgAs(const lo_arg *pArg) {
    T value{};
    std::memcpy(&value, pArg, sizeof value);
    return value;
}

uint32_t BigEndian(const char *p) {
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return uint32_t(u[0]) << 24 | uint32_t(u[1]) << 16 | uint32_t(u[2]) << 8 | u[3];
}

void DecodeInto(const QByteArray &data, std::vector<COscClient::Message> &out, int nDepth) {
    static const QByteArray kBundle("#bundle\0", 8);
    if (data.startsWith(kBundle)) {
        if (nDepth > 4)
            return;
        // "#bundle", a time tag, then elements each led by its size.
        for (qsizetype at = 16; at + 4 <= data.size();) {
            const qsizetype nSize = qsizetype(BigEndian(data.constData() + at));
            if (nSize <= 0 || at + 4 + nSize > data.size())
                return;
            DecodeInto(data.mid(at + 4, nSize), out, nDepth + 1);
            at += 4 + nSize;
        }
        return;
    }
    QByteArray copy = data;
    int nResult = 0;
    lo_message message = lo_message_deserialise(copy.data(), size_t(copy.size()), &nResult);
    if (!message)
        return;
    COscClient::Message decoded;
    decoded.path = QByteArray(copy.constData()); // the address leads the message
    const char *pszTypes = lo_message_get_types(message);
    lo_arg **argv = lo_message_get_argv(message);
    for (int i = 0; pszTypes && pszTypes[i]; ++i) {
        switch (pszTypes[i]) {
        case LO_INT32:
            decoded.args << ArgAs<int32_t>(argv[i]);
            break;
        case LO_FLOAT:
            decoded.args << double(ArgAs<float>(argv[i]));
            break;
        case LO_STRING:
            decoded.args << QString::fromUtf8(reinterpret_cast<const char *>(argv[i]));
            break;
        default:
            decoded.args << QVariant();
        }
    }
    lo_message_free(message);
    out.push_back(decoded);
}

} // namespace

bool COscClient::Open(const QHostAddress &bind, QString &strError) {
    if (m_socket.bind(bind, 0))
        return true;
    strError = m_socket.errorString();
    return false;
}

bool COscClient::Send(const QHostAddress &to, quint16 nPort, const char *pszPath, bool bValue,
                      int32_t nValue) {
    lo_message message = lo_message_new();
    if (bValue)
        lo_message_add_int32(message, nValue);
    size_t nSize = 0;
    void *pData = lo_message_serialise(message, pszPath, nullptr, &nSize);
    lo_message_free(message);
    if (!pData)
        return false;
    const qint64 nSent =
        m_socket.writeDatagram(static_cast<const char *>(pData), qint64(nSize), to, nPort);
    free(pData);
    return nSent == qint64(nSize);
}

std::vector<COscClient::Message> COscClient::Receive(int nMs) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const int nLeft = nMs - int(timer.elapsed());
        if (!m_socket.hasPendingDatagrams() && (nLeft <= 0 || !m_socket.waitForReadyRead(nLeft)))
            return {};
        QByteArray data(
            int(m_socket.pendingDatagramSize() > 0 ? m_socket.pendingDatagramSize() : 65536), '\0');
        const qint64 nRead = m_socket.readDatagram(data.data(), data.size());
        if (nRead <= 0)
            continue;
        data.resize(nRead);
        std::vector<Message> messages = Decode(data);
        if (!messages.empty())
            return messages;
    }
}

std::vector<COscClient::Message> COscClient::Decode(const QByteArray &datagram) {
    std::vector<Message> messages;
    DecodeInto(datagram, messages, 0);
    return messages;
}
