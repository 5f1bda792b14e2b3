// The OSC face of the remote control. Commands arrive as OSC messages and become the commands the
// binary protocol's datagrams become (same gate, same handlers), or those of the control bar's
// track buttons and the full-screen menu item. Each command address is a method of its own in
// liblo's dispatcher, which matches the patterns of OSC addresses (`*`, `?`, `[ab]`, `{a,b}`)
// against them, so one message may address several commands. Numbers are taken as controllers
// send them (any numeric type, true and false, a number in a string). The players' state goes
// back as one OSC bundle per update to subscribed clients and fixed targets.
//
// Everything runs on the UI thread: the socket is read there and liblo decodes and dispatches
// within the same call, so nothing needs a lock. The socket is our own, because Debian 12's liblo
// cannot bind a UDP server to one local address; its server object only decodes and dispatches
// (lo_server_dispatch_data) and its own socket, a local one in a private folder, is never read.
#pragma once

#include "core/CCoalescedCall.h"
#include "core/CRateWindow.h"
#include "remote/CCommandAccess.h"
#include "remote/COscFeedback.h"
#include "remote/COscSubscribers.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

#include <functional>
#include <memory>
#include <vector>

class CCommandSink;
struct CCommandDescriptor;
class CNetServer;
class CShowEvents;
class CProfile;
class CTickClock;

class COscServer : public QObject {
    Q_OBJECT

public:
    static constexpr int DEFAULT_PORT = 31774;
    // Larger packets are dropped unread: no command needs more than a path and a file name.
    static constexpr qint64 MAX_PACKET_SIZE = 4096;
    // liblo reads a blob's 4-byte size even where the packet has no bytes left, then refuses
    // the packet: the buffer keeps this much room behind the longest packet for that read.
    static constexpr qint64 DECODER_SLACK = 8;
    // Packets handled before the event loop gets its turn again, so a flood cannot starve the
    // picture, the timers or the binary protocol.
    static constexpr int MAX_PACKETS_PER_TURN = 32;
    static constexpr int MAX_PENDING_TEXTS = 16;
    // Logbook lines about subscriptions refused (rate, switched off): one a minute at most, so
    // a spoofed flood cannot fill the log either.
    static constexpr uint32_t SUBSCRIPTION_LOG_PERIOD_MS = 60000;

    using StatusSource = std::function<CShowState()>;

    // events tells of the show's changes and status texts, which feedback follows. netServer
    // is no longer used; it goes once the main window stops passing it.
    COscServer(CNetServer &netServer, CShowEvents &events, CCommandSink &sink, CProfile &profile,
               const CTickClock &clock, QObject *pParent = nullptr);
    ~COscServer() override;

    COscServer(const COscServer &) = delete;
    COscServer &operator=(const COscServer &) = delete;

    // Where the feedback values come from.
    void SetStatusSource(StatusSource source) { m_statusSource = std::move(source); }

    // Reads [OSC] and [Network] and opens the socket. False when OSC is off (Port 0) or could
    // not be opened (logged).
    bool Init();
    // [OSC] FeedbackTargets ("127.0.0.1:9000, ..."): the readable targets go to *pTargets (if
    // given); returns the logbook lines for the others, without "\n".
    static QStringList ReadTargets(const QString &strTargets,
                                   QList<QPair<QHostAddress, quint16>> *pTargets);
    void Close();

private:
    // One address registered with liblo: the command it gives and, per player, which player.
    struct Route {
        COscServer *pServer;
        const CCommandDescriptor *pRow; // null: /tessaro/subscribe
        int nPlayer;                    // -1 for the addresses without a player
    };

    friend struct COscDispatch; // liblo's callback, which needs liblo's types
    bool MakeDecoder();
    void OnReadyRead();
    void ReadOne();
    // argv holds liblo's arguments (lo_arg **), argc of them, typed by pszTypes.
    void Handle(const Route &route, const char *pszPath, const char *pszTypes, void *argv,
                int argc);
    void HandleSubscribe(const char *pszPath, const char *pszTypes, void *argv, int argc);
    void LogBadArguments(const char *pszPath, const char *pszExpected, const char *pszGot);
    void Subscribe(quint16 nPort);
    void OnPlayerText(int nPlayer, const QString &strText);
    void Flush(bool bTick);
    void Send(const std::vector<COscFeedback::Value> &values, const QHostAddress &address,
              quint16 nPort);

    CCommandSink &m_sink;
    CProfile &m_profile;
    const CTickClock &m_clock;

    StatusSource m_statusSource;

    CCommandAccess m_access;
    QUdpSocket m_socket;
    QTemporaryDir m_loDir;
    void *m_pLo = nullptr;       // lo_server
    std::vector<Route> m_routes; // the methods' user data: never resized once registered
    QTimer m_feedbackTimer;
    COscFeedback m_feedback;
    COscSubscribers m_subscribers;
    QList<QPair<QHostAddress, quint16>> m_staticTargets;
    std::vector<COscFeedback::Value> m_pendingTexts;

    QHostAddress m_sender; // of the packet being dispatched
    quint16 m_nSenderPort = 0;
    // A flush after the handlers that changed something.
    CCoalescedCall m_flush{this, [this] { Flush(false); }};
    // Bad input is logged, but a flood of it must not push everything else out of the log.
    CRateWindow m_badInputLog{1000, 5};
    bool m_bSubscriptions = true; // [OSC] Subscriptions
    CRateWindow m_subscriptionLog{SUBSCRIPTION_LOG_PERIOD_MS, 1};
    std::unique_ptr<char[]> m_pBuffer;
};
