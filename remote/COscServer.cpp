#include "remote/COscServer.h"

#include "core/CCommandSink.h"
#include "core/CGeneralSettings.h"
#include "core/CLogBook.h"
#include "core/CProfile.h"
#include "core/CTickClock.h"
#include "remote/CNetServer.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <lo/lo.h>

namespace {

// liblo's arguments sit in the packet, 4-byte aligned only, while its argument union asks for
// 8: read them as the bytes they are instead of through the union.
int32_t IntArg(lo_arg *pArg) {
    int32_t n = 0;
    std::memcpy(&n, pArg, sizeof n);
    return n;
}

const char *StringArg(lo_arg *pArg) {
    return reinterpret_cast<const char *>(pArg);
}

const char *const kSection = "OSC";
const char *const kRoot = "/tessaro/";
constexpr int kMinFeedbackIntervalMs = 10;
constexpr int kMaxFeedbackIntervalMs = 60000;
constexpr uint32_t kBadInputWindowMs = 1000;
constexpr int kBadInputLinesPerWindow = 5;

} // namespace

// The command table: address (after "/tessaro/" and, per player, "a/" or "b/"), argument types,
// and the command it gives.
struct COscServer::CommandSpec {
    const char *pszName;
    bool bPerPlayer;
    const char *pszTypes;
    CCommand::Action action;
};

struct COscDispatch {
    static const COscServer::CommandSpec kCommands[];

    static int OnMessage(const char *pszPath, const char *pszTypes, lo_arg **argv, int argc,
                         lo_message /*msg*/, void *pUser) {
        static_cast<COscServer *>(pUser)->Handle(pszPath, pszTypes, static_cast<void *>(argv),
                                                 argc);
        return 0;
    }
};

using Action = CCommand::Action;

const COscServer::CommandSpec COscDispatch::kCommands[] = {
    {"play", true, "", Action::Play},          {"pause", true, "", Action::Pause},
    {"stop", true, "", Action::Stop},          {"select", true, "", Action::Select},
    {"open", true, "s", Action::Open},         {"seek", true, "i", Action::Seek},
    {"volume", false, "i", Action::Volume},    {"next", false, "", Action::Next},
    {"previous", false, "", Action::Previous}, {"fullscreen", false, "i", Action::Fullscreen},
};

COscServer::COscServer(CNetServer &netServer, CCommandSink &sink, CProfile &profile,
                       const CGeneralSettings &settings, const CTickClock &clock, QObject *pParent)
    : QObject(pParent), m_netServer(netServer), m_sink(sink), m_profile(profile),
      m_settings(settings), m_clock(clock),
      m_pBuffer(new char[MAX_PACKET_SIZE + 1 + DECODER_SLACK]()) {
    m_feedbackTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_feedbackTimer, &QTimer::timeout, this, [this] { Flush(true); });
    connect(&m_socket, &QUdpSocket::readyRead, this, &COscServer::OnReadyRead);
    connect(&m_netServer, &CNetServer::TextSent, this, &COscServer::OnText);
    // OSC clients hear of a change when the binary protocol's controllers do, not later.
    connect(&m_netServer, &CNetServer::StatusSent, this, [this] { Flush(false); });
}

COscServer::~COscServer() {
    Close();
    if (m_pLo)
        lo_server_free(static_cast<lo_server>(m_pLo));
}

bool COscServer::Init() {
    Close();
    int nPort = m_profile.GetProfileInt(kSection, "Port", DEFAULT_PORT);
    if (nPort == 0)
        return false;
    if (nPort < 0 || nPort > 65535) {
        LogError("COscServer::Init(): Invalid Port %d, using %d.\n", nPort, DEFAULT_PORT);
        nPort = DEFAULT_PORT;
    }
    int nInterval =
        m_profile.GetProfileInt(kSection, "FeedbackInterval", DEFAULT_FEEDBACK_INTERVAL_MS);
    if (nInterval < kMinFeedbackIntervalMs || nInterval > kMaxFeedbackIntervalMs) {
        LogError("COscServer::Init(): Invalid FeedbackInterval %d, using %d.\n", nInterval,
                 DEFAULT_FEEDBACK_INTERVAL_MS);
        nInterval = DEFAULT_FEEDBACK_INTERVAL_MS;
    }
    static const QRegularExpression kSeparators("[,;\\s]+");
    const QString strTargets = m_profile.GetProfileString(kSection, "FeedbackTargets", QString());
    for (const QString &strTarget : strTargets.split(kSeparators, Qt::SkipEmptyParts)) {
        // Addresses only: a name would have to be looked up on the UI thread.
        const int nColon = strTarget.lastIndexOf(':');
        QHostAddress address;
        bool bPortOk = false;
        const uint nTargetPort = strTarget.mid(nColon + 1).toUInt(&bPortOk);
        if (nColon <= 0 || !address.setAddress(strTarget.left(nColon)) || !bPortOk ||
            nTargetPort == 0 || nTargetPort > 65535) {
            LogError("COscServer::Init(): Invalid FeedbackTargets entry \"%s\".\n",
                     qPrintable(strTarget));
            continue;
        }
        m_staticTargets << qMakePair(address, static_cast<quint16>(nTargetPort));
    }
    m_access.Read(m_profile, "COscServer::Init()");

    if (!m_pLo) {
        // liblo's server only decodes here; its socket must exist but is reached by nobody.
        const QByteArray path = (m_loDir.path() + "/lo").toLocal8Bit();
        m_pLo = m_loDir.isValid() ? lo_server_new_with_proto(path.constData(), LO_UNIX, nullptr)
                                  : nullptr;
        if (!m_pLo) {
            LogError("COscServer::Init(): OSC decoder not created.\n");
            return false;
        }
        // Time tags are not waited for: a queue of future bundles would grow without bound.
        lo_server_enable_queue(static_cast<lo_server>(m_pLo), 0, 1);
        lo_server_add_method(static_cast<lo_server>(m_pLo), nullptr, nullptr,
                             &COscDispatch::OnMessage, this);
    }
    const QHostAddress bindAddress = m_access.BindAddress();
    if (bindAddress.isNull() || !m_socket.bind(bindAddress, static_cast<quint16>(nPort),
                                               QAbstractSocket::DontShareAddress)) {
        LogError("COscServer::Init(): OSC socket not created on port %d.\n", nPort);
        return false;
    }
    m_feedbackTimer.start(nInterval);
    return true;
}

void COscServer::Close() {
    m_feedbackTimer.stop();
    m_socket.close();
    m_staticTargets.clear();
    m_subscribers.Clear();
    m_pendingTexts.clear();
    m_feedback.Reset();
}

void COscServer::OnReadyRead() {
    // A handler that spins the event loop (a media file being opened) brings us back here:
    // the outer call goes on reading once it returns.
    if (m_bReading)
        return;
    // A binary command's handler is still running: ours must wait for it, one at a time.
    if (m_netServer.IsDispatching()) {
        if (!m_bRetryPending) {
            m_bRetryPending = true;
            QTimer::singleShot(10, this, [this] {
                m_bRetryPending = false;
                OnReadyRead();
            });
        }
        return;
    }
    m_bReading = true;
    int nPackets = 0;
    while (nPackets < MAX_PACKETS_PER_TURN && m_socket.state() == QAbstractSocket::BoundState &&
           m_socket.hasPendingDatagrams()) {
        ReadOne();
        ++nPackets;
    }
    m_bReading = false;
    // The commands' handlers have all run to their end: their effects go out now, in one bundle.
    if (nPackets > 0)
        Flush(false);
    // What is left notifies again: the socket re-arms its notification with every read.
}

void COscServer::ReadOne() {
    QHostAddress sender;
    quint16 nSenderPort = 0;
    // One byte more than allowed tells an oversized packet from one that just fits.
    const qint64 nRead =
        m_socket.readDatagram(m_pBuffer.get(), MAX_PACKET_SIZE + 1, &sender, &nSenderPort);
    if (nRead < 0)
        return;
    if (!m_access.Admit(sender, m_clock.GetTickCount(), "COscServer::OnReceive()"))
        return;
    if (nRead > MAX_PACKET_SIZE) {
        if (MayLogBadInput())
            LogMsg("COscServer::OnReceive(): Packet from %s dropped: larger than %lld bytes.\n",
                   qPrintable(sender.toString()), static_cast<long long>(MAX_PACKET_SIZE));
        return;
    }
    m_sender = sender;
    m_nSenderPort = nSenderPort;
    const int nResult = lo_server_dispatch_data(static_cast<lo_server>(m_pLo), m_pBuffer.get(),
                                                static_cast<size_t>(nRead));
    if (nResult < 0 && MayLogBadInput())
        LogMsg("COscServer::OnReceive(): Malformed OSC packet from %s (%lld bytes).\n",
               qPrintable(sender.toString()), static_cast<long long>(nRead));
}

void COscServer::Handle(const char *pszPath, const char *pszTypes, void *argv, int argc) {
    lo_arg **args = static_cast<lo_arg **>(argv);
    const size_t nRoot = std::strlen(kRoot);
    if (!pszPath || std::strncmp(pszPath, kRoot, nRoot) != 0)
        return; // not ours
    const char *pszRest = pszPath + nRoot;
    int nPlayer = -1;
    if ((pszRest[0] == 'a' || pszRest[0] == 'b') && pszRest[1] == '/') {
        nPlayer = pszRest[0] == 'a' ? 0 : 1;
        pszRest += 2;
    }
    const char *pszGot = pszTypes ? pszTypes : "";
    // The port is optional: without it, feedback goes to the sender's own port.
    if (nPlayer < 0 && std::strcmp(pszRest, "subscribe") == 0) {
        if ((argc != 0 || *pszGot) && (argc != 1 || std::strcmp(pszGot, "i") != 0)) {
            LogBadArguments(pszPath, "", pszGot);
            return;
        }
        const int nPort = argc == 1 ? IntArg(args[0]) : m_nSenderPort;
        if (nPort <= 0 || nPort > 65535) {
            if (MayLogBadInput())
                LogMsg("COscServer::OnMessage(): %s port %d out of range.\n", pszPath, nPort);
            return;
        }
        Subscribe(static_cast<quint16>(nPort));
        return;
    }
    const CommandSpec *pSpec = nullptr;
    for (const CommandSpec &spec : COscDispatch::kCommands)
        if (spec.bPerPlayer == (nPlayer >= 0) && std::strcmp(spec.pszName, pszRest) == 0)
            pSpec = &spec;
    if (!pSpec)
        return; // unknown addresses are ignored, as unknown command codes are
    if (std::strcmp(pszGot, pSpec->pszTypes) != 0 ||
        argc != static_cast<int>(std::strlen(pszGot))) {
        LogBadArguments(pszPath, pSpec->pszTypes, pszGot);
        return;
    }
    // The receive gate of the remote control holds for OSC commands as for datagrams.
    if (m_settings.GetRemoteCtrl() != CNetServer::REMOTE_CTRL_ETHERNET)
        return;
    CCommand cmd;
    cmd.action = pSpec->action;
    cmd.origin = CCommand::Origin::Osc;
    // The volume is common to both players: the id of the binary protocol's command 13 is only
    // range-checked, and Player A's always passes.
    cmd.nPlayer = std::max(nPlayer, 0);
    if (pSpec->action == Action::Open)
        cmd.strText = QString::fromUtf8(StringArg(args[0]));
    else if (pSpec->action == Action::Fullscreen)
        cmd.nValue = IntArg(args[0]) != 0 ? 1 : 0;
    else if (argc == 1)
        cmd.nValue = IntArg(args[0]);
    m_sink.Execute(cmd);
}

void COscServer::LogBadArguments(const char *pszPath, const char *pszExpected, const char *pszGot) {
    if (MayLogBadInput())
        LogMsg("COscServer::OnMessage(): %s expects arguments \"%s\", got \"%s\".\n", pszPath,
               pszExpected, pszGot);
}

void COscServer::Subscribe(quint16 nPort) {
    m_subscribers.Subscribe(m_sender, nPort, m_clock.GetTickCount());
    // A new client learns the whole state at once instead of waiting for changes.
    if (m_statusSource)
        Send(COscFeedback::All(m_statusSource()), m_sender, nPort);
}

void COscServer::OnText(const QString &strLine) {
    if (m_socket.state() != QAbstractSocket::BoundState)
        return;
    std::optional<COscFeedback::Value> text = COscFeedback::TextValue(strLine);
    if (!text)
        return;
    if (m_pendingTexts.size() >= MAX_PENDING_TEXTS)
        m_pendingTexts.erase(m_pendingTexts.begin());
    m_pendingTexts.push_back(std::move(*text));
    ScheduleFlush();
}

void COscServer::ScheduleFlush() {
    if (m_bFlushPending)
        return;
    m_bFlushPending = true;
    // After the current chain of handlers, as the binary protocol's requested status.
    QTimer::singleShot(0, this, [this] {
        m_bFlushPending = false;
        Flush(false);
    });
}

void COscServer::Flush(bool bTick) {
    if (m_socket.state() != QAbstractSocket::BoundState)
        return;
    m_subscribers.Expire(m_clock.GetTickCount());
    // Collected even with nobody to tell, so a new subscriber, which gets everything at once,
    // is sent only changes afterwards.
    std::vector<COscFeedback::Value> values;
    if (m_statusSource)
        values = m_feedback.Collect(m_statusSource(), bTick);
    if (m_staticTargets.isEmpty() && m_subscribers.Targets().empty()) {
        m_pendingTexts.clear();
        return;
    }
    values.insert(values.end(), m_pendingTexts.begin(), m_pendingTexts.end());
    m_pendingTexts.clear();
    if (values.empty())
        return;
    for (const auto &[address, nPort] : m_staticTargets)
        Send(values, address, nPort);
    for (const COscSubscribers::Target &target : m_subscribers.Targets())
        Send(values, target.address, target.nPort);
}

void COscServer::Send(const std::vector<COscFeedback::Value> &values, const QHostAddress &address,
                      quint16 nPort) {
    lo_bundle bundle = lo_bundle_new(LO_TT_IMMEDIATE);
    for (const COscFeedback::Value &value : values) {
        lo_message message = lo_message_new();
        if (value.bSync) {
            lo_message_add_string(message, value.strValue.constData());
            lo_message_add_float(message, value.fValue);
            lo_message_add_int32(message, value.nValue);
        } else if (value.bString) {
            lo_message_add_string(message, value.strValue.constData());
        } else {
            lo_message_add_int32(message, value.nValue);
        }
        lo_bundle_add_message(bundle, value.path.constData(), message);
    }
    size_t nSize = lo_bundle_length(bundle);
    QByteArray data(static_cast<qsizetype>(nSize), '\0');
    lo_bundle_serialise(bundle, data.data(), &nSize);
    lo_bundle_free_recursive(bundle);
    // Send results are of no interest: a client that misses one update gets the next.
    m_socket.writeDatagram(data.constData(), static_cast<qint64>(nSize), address, nPort);
}

bool COscServer::MayLogBadInput() {
    const uint32_t dwNow = m_clock.GetTickCount();
    if (dwNow - m_dwBadInputWindow >= kBadInputWindowMs) {
        m_dwBadInputWindow = dwNow;
        m_nBadInputLines = 0;
    }
    return m_nBadInputLines++ < kBadInputLinesPerWindow;
}
