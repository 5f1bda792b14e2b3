// The controller's network side: sends one command datagram to a player and prints the
// status and text datagrams that players send, decoded, one a line; sets a play mode and reads
// the sync state over OSC.
#pragma once

#include "CRemoteOptions.h"
#include "remote/protocol/CNetDatagram.h"

#include <QString>
#include <QVariant>

#include <cstdio>

class QUdpSocket;

class CRemoteClient {
public:
    enum ExitCode { EXIT_OK = 0, EXIT_NETWORK = 1, EXIT_USAGE = 2, EXIT_TIMEOUT = 3 };

    explicit CRemoteClient(const CRemoteOptions &options) : m_options(options) {}

    int Run(FILE *pOut, FILE *pErr);

    // One output line without its line feed: "status player=1 state=2 ..." or
    // "text \"...\"", or the same as a JSON object.
    static QString FormatMessage(const CNetDatagram::Message &msg, const QString &strFrom,
                                 bool bJson);
    // /tessaro/sync's arguments (role, offset, followers, health, lost since) as one line:
    // "sync role=follower health=\"leader lost\" offset=0.4 followers=0 lostSince=\"...\"".
    static QString FormatSync(const QVariantList &args, bool bJson);

private:
    bool OpenListener(QUdpSocket &socket, FILE *pErr);
    int Send(FILE *pErr);
    int Listen(QUdpSocket &socket, FILE *pOut);
    // ACTION_MODE and ACTION_SYNC.
    int RunOsc(FILE *pOut, FILE *pErr);

    const CRemoteOptions &m_options;
};
