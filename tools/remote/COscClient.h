// The controller's OSC side, for what the datagram protocol has no command for: the play modes
// and the sync state. Sends one message from its own socket, subscribes that socket to the
// player's feedback, and reads the feedback bundles back as path and arguments.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QUdpSocket>
#include <QVariant>

#include <vector>

class COscClient {
public:
    struct Message {
        QByteArray path;
        QVariantList args; // int, float or string, in order
    };

    // Binds to any port of bind; false with the reason in strError.
    bool Open(const QHostAddress &bind, QString &strError);
    // One message to to:nPort, with one int32 argument unless bValue is false.
    bool Send(const QHostAddress &to, quint16 nPort, const char *pszPath, bool bValue,
              int32_t nValue);
    // The messages of one bundle (or single message) that arrives within nMs; empty on time-out.
    std::vector<Message> Receive(int nMs);

    // The messages in a datagram: a bundle's (nested ones too) or the one message it is.
    static std::vector<Message> Decode(const QByteArray &datagram);

private:
    QUdpSocket m_socket;
};
