#include "remote/COscServer.h"

#include "core/CCommandSink.h"
#include "core/CLogBook.h"
#include "core/CProfile.h"
#include "core/CShowEvents.h"
#include "core/CTickClock.h"
#include "remote/CCommandDescriptor.h"
#include "remote/CNetServer.h"
#include "remote/CServerSettings.h"

#include <QRegularExpression>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <lo/lo.h>

namespace {

// liblo's arguments sit in the packet, 4-byte aligned only, while its argument union asks for
// 8: read them as the bytes they are instead of through the union.
template <typename T> T ArgAs(lo_arg *pArg) {
    T value{};
    std::memcpy(&value, pArg, sizeof value);
    return value;
}

const char *StringArg(lo_arg *pArg) {
    return reinterpret_cast<const char *>(pArg);
}

bool RoundToInt32(double dValue, int32_t &nValue) {
    // NaN fails both comparisons.
    if (!(dValue >= double(INT32_MIN) - 0.5 && dValue < double(INT32_MAX) + 0.5))
        return false;
    nValue = static_cast<int32_t>(std::lround(dValue));
    return true;
}

// A number as controllers send one: any numeric OSC type (rounded to the nearest whole
// number), true and false as 1 and 0, or a decimal number in a string ("50", "-5", "12.5").
bool ReadInteger(char cType, lo_arg *pArg, int32_t &nValue) {
    switch (cType) {
    case LO_INT32:
        nValue = ArgAs<int32_t>(pArg);
        return true;
    case LO_INT64:
        return RoundToInt32(double(ArgAs<int64_t>(pArg)), nValue);
    case LO_FLOAT:
        return RoundToInt32(double(ArgAs<float>(pArg)), nValue);
    case LO_DOUBLE:
        return RoundToInt32(ArgAs<double>(pArg), nValue);
    case LO_TRUE:
    case LO_FALSE:
        nValue = cType == LO_TRUE ? 1 : 0;
        return true;
    case LO_STRING:
    case LO_SYMBOL: {
        static const QRegularExpression kDecimal(
            QStringLiteral("^\\s*[+-]?(\\d+(\\.\\d*)?|\\.\\d+)\\s*$"));
        const QString strText = QString::fromUtf8(StringArg(pArg));
        bool bOk = false;
        const double dValue = strText.trimmed().toDouble(&bOk);
        return kDecimal.match(strText).hasMatch() && bOk && RoundToInt32(dValue, nValue);
    }
    default:
        return false;
    }
}

const char *const kSection = "OSC";
const char *const kRoot = "/tessaro/";

} // namespace

struct COscDispatch {

    static int OnMessage(const char *pszPath, const char *pszTypes, lo_arg **argv, int argc,
                         lo_message /*msg*/, void *pUser) {
        const auto *pRoute = static_cast<const COscServer::Route *>(pUser);
        if (pRoute->pRow)
            pRoute->pServer->Handle(*pRoute, pszPath, pszTypes, static_cast<void *>(argv), argc);
        else
            pRoute->pServer->HandleSubscribe(pszPath, pszTypes, static_cast<void *>(argv), argc);
        return 0;
    }
};

COscServer::COscServer(CNetServer & /*netServer*/, CShowEvents &events, CCommandSink &sink,
                       CProfile &profile, const CTickClock &clock, QObject *pParent)
    : QObject(pParent), m_sink(sink), m_profile(profile), m_clock(clock),
      m_pBuffer(new char[MAX_PACKET_SIZE + 1 + DECODER_SLACK]()) {
    m_feedbackTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_feedbackTimer, &QTimer::timeout, this, [this] { Flush(true); });
    connect(&m_socket, &QUdpSocket::readyRead, this, &COscServer::OnReadyRead);
    connect(&events, &CShowEvents::PlayerText, this, &COscServer::OnPlayerText);
    // OSC clients hear of a change once the handlers that made it have run, not a tick later.
    connect(&events, &CShowEvents::Changed, this, [this] { Flush(false); });
}

COscServer::~COscServer() {
    Close();
    if (m_pLo)
        lo_server_free(static_cast<lo_server>(m_pLo));
}

QStringList COscServer::ReadTargets(const QString &strTargets,
                                    QList<QPair<QHostAddress, quint16>> *pTargets) {
    static const QRegularExpression kSeparators("[,;\\s]+");
    QStringList problems;
    for (const QString &strTarget : strTargets.split(kSeparators, Qt::SkipEmptyParts)) {
        // Addresses only: a name would have to be looked up on the UI thread.
        const int nColon = strTarget.lastIndexOf(':');
        QHostAddress address;
        bool bPortOk = false;
        const uint nTargetPort = strTarget.mid(nColon + 1).toUInt(&bPortOk);
        if (nColon <= 0 || !address.setAddress(strTarget.left(nColon)) || !bPortOk ||
            nTargetPort == 0 || nTargetPort > 65535) {
            problems << QStringLiteral("COscServer::Init(): Invalid FeedbackTargets entry \"%1\".")
                            .arg(strTarget);
            continue;
        }
        if (pTargets)
            *pTargets << qMakePair(address, static_cast<quint16>(nTargetPort));
    }
    return problems;
}

bool COscServer::Init() {
    Close();
    const int nPort = CServerSettings::ReadPort(m_profile, kSection);
    if (nPort == 0)
        return false;
    const int nInterval = CServerSettings::ReadFeedbackInterval(m_profile, true);
    const QString strTargets = m_profile.GetProfileString(kSection, "FeedbackTargets", QString());
    for (const QString &strLine : ReadTargets(strTargets, &m_staticTargets))
        LogError("%s\n", qPrintable(strLine));
    m_access.Read(m_profile, "COscServer::Init()");

    m_bSubscriptions = m_profile.GetProfileInt(kSection, "Subscriptions", 1) != 0;

    if (!m_pLo && !MakeDecoder()) {
        LogError("COscServer::Init(): OSC decoder not created.\n");
        return false;
    }
    const QHostAddress bindAddress = m_access.BindAddress();
    if (bindAddress.isNull() ||
        !CNetServer::BindCommandSocket(m_socket, bindAddress, static_cast<quint16>(nPort))) {
        LogError("COscServer::Init(): OSC socket not created on port %d.\n", nPort);
        return false;
    }
    m_feedbackTimer.start(nInterval);
    return true;
}

bool COscServer::MakeDecoder() {
    // liblo's server only decodes here; its socket must exist but is reached by nobody.
    const QByteArray path = (m_loDir.path() + "/lo").toLocal8Bit();
    lo_server pLo =
        m_loDir.isValid() ? lo_server_new_with_proto(path.constData(), LO_UNIX, nullptr) : nullptr;
    if (!pLo)
        return false;
    m_pLo = pLo;
    // Time tags are not waited for: a queue of future bundles would grow without bound.
    lo_server_enable_queue(pLo, 0, 1);
    // One method per address, so that liblo matches address patterns against each of them;
    // a message that matches none is ignored, as an unknown command code is.
    m_routes.reserve(CCommandDescriptor::All().size() * 2 + 1);
    for (const CCommandDescriptor &row : CCommandDescriptor::All()) {
        if (!row.Offers(CCommandDescriptor::OSC))
            continue;
        for (int nPlayer : {0, 1}) {
            if (!row.bPerPlayer && nPlayer == 1)
                break;
            m_routes.push_back({this, &row, row.bPerPlayer ? nPlayer : -1});
        }
    }
    m_routes.push_back({this, nullptr, -1});
    for (Route &route : m_routes) {
        QByteArray address = kRoot;
        if (route.nPlayer >= 0)
            address += route.nPlayer == 0 ? "a/" : "b/";
        address += route.pRow ? route.pRow->pszName : "subscribe";
        lo_server_add_method(pLo, address.constData(), nullptr, &COscDispatch::OnMessage, &route);
    }
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
    int nPackets = 0;
    // At least one read, even when the notification turns out to be stale: the socket does not
    // notify again until it has been read from.
    while (nPackets < MAX_PACKETS_PER_TURN && m_socket.state() == QAbstractSocket::BoundState &&
           (nPackets == 0 || m_socket.hasPendingDatagrams())) {
        ReadOne();
        ++nPackets;
    }
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
        if (m_badInputLog.Take(m_clock.GetTickCount()))
            LogMsg("COscServer::OnReceive(): Packet from %s dropped: larger than %lld bytes.\n",
                   qPrintable(sender.toString()), static_cast<long long>(MAX_PACKET_SIZE));
        return;
    }
    m_sender = sender;
    m_nSenderPort = nSenderPort;
    const int nResult = lo_server_dispatch_data(static_cast<lo_server>(m_pLo), m_pBuffer.get(),
                                                static_cast<size_t>(nRead));
    if (nResult < 0 && m_badInputLog.Take(m_clock.GetTickCount()))
        LogMsg("COscServer::OnReceive(): Malformed OSC packet from %s (%lld bytes).\n",
               qPrintable(sender.toString()), static_cast<long long>(nRead));
}

void COscServer::Handle(const Route &route, const char *pszPath, const char *pszTypes, void *argv,
                        int argc) {
    using Value = CCommandDescriptor::Value;
    lo_arg **args = static_cast<lo_arg **>(argv);
    const CCommandDescriptor &row = *route.pRow;
    const char *pszGot = pszTypes ? pszTypes : "";
    CCommandDescriptor::Args given;
    // The volume is common to both players: the id of the binary protocol's command 13 is only
    // range-checked, and Player A's always passes.
    given.nPlayer = std::max(route.nPlayer, 0);
    bool bValid = false;
    const char *pszExpected = "i";
    switch (row.value) {
    case Value::None:
        // Buttons often send 1 or 1.0 along: one argument of any type is ignored.
        pszExpected = "";
        bValid = argc <= 1;
        break;
    case Value::Position:
    case Value::Percent:
    case Value::Switch:
        bValid = argc == 1 && ReadInteger(pszGot[0], args[0], given.nValue);
        break;
    case Value::Media:
        pszExpected = "s";
        bValid = argc == 1 && (pszGot[0] == LO_STRING || pszGot[0] == LO_SYMBOL);
        if (bValid)
            given.source = CCommandDescriptor::MediaOf(QString::fromUtf8(StringArg(args[0])));
        break;
    case Value::Kind:
        pszExpected = "s[i]";
        given.nValue = -1;
        bValid =
            (argc == 1 || argc == 2) && (pszGot[0] == LO_STRING || pszGot[0] == LO_SYMBOL) &&
            CTransition::KindOf(QString::fromUtf8(StringArg(args[0])), given.kind) &&
            (argc == 1 || (ReadInteger(pszGot[1], args[1], given.nValue) && given.nValue >= 0));
        break;
    }
    if (!bValid) {
        LogBadArguments(pszPath, pszExpected, pszGot);
        return;
    }
    if (row.value == Value::Switch)
        given.nValue = given.nValue != 0 ? 1 : 0;
    CCommand cmd = row.Make(given, CCommand::Origin::Osc);
    // Only opens are ranked by arrival; the packet is the one read last.
    if (row.value == Value::Media)
        cmd.nArrivedNs = CNetServer::ArrivalOfLastRead(m_socket);
    m_sink.Execute(cmd);
}

// The port is optional: without it, feedback goes to the sender's own port.
void COscServer::HandleSubscribe(const char *pszPath, const char *pszTypes, void *argv, int argc) {
    lo_arg **args = static_cast<lo_arg **>(argv);
    const char *pszGot = pszTypes ? pszTypes : "";
    int32_t nPort = m_nSenderPort;
    if (argc > 1 || (argc == 1 && !ReadInteger(pszGot[0], args[0], nPort))) {
        LogBadArguments(pszPath, "i", pszGot);
        return;
    }
    if (nPort <= 0 || nPort > 65535) {
        if (m_badInputLog.Take(m_clock.GetTickCount()))
            LogMsg("COscServer::OnMessage(): %s port %d out of range.\n", pszPath, nPort);
        return;
    }
    if (!m_bSubscriptions) {
        if (m_subscriptionLog.Take(m_clock.GetTickCount()))
            LogMsg("COscServer::OnMessage(): Subscription from %s ignored: [OSC] Subscriptions "
                   "is 0.\n",
                   qPrintable(m_sender.toString()));
        return;
    }
    Subscribe(static_cast<quint16>(nPort));
}

void COscServer::LogBadArguments(const char *pszPath, const char *pszExpected, const char *pszGot) {
    if (m_badInputLog.Take(m_clock.GetTickCount()))
        LogMsg("COscServer::OnMessage(): %s expects arguments \"%s\", got \"%s\".\n", pszPath,
               pszExpected, pszGot);
}

void COscServer::Subscribe(quint16 nPort) {
    const uint32_t dwNow = m_clock.GetTickCount();
    switch (m_subscribers.Subscribe(m_sender, nPort, dwNow)) {
    case COscSubscribers::Outcome::Taken:
        // A client learns the whole state at once instead of waiting for changes.
        if (m_statusSource)
            Send(COscFeedback::All(m_statusSource()), m_sender, nPort);
        break;
    case COscSubscribers::Outcome::Kept:
        break;
    case COscSubscribers::Outcome::Dropped:
        if (m_subscriptionLog.Take(m_clock.GetTickCount()))
            LogMsg("COscServer::OnMessage(): Subscription from %s dropped: more than %d "
                   "subscriptions a second.\n",
                   qPrintable(m_sender.toString()), COscSubscribers::MAX_PER_SECOND);
        break;
    }
}

void COscServer::OnPlayerText(int nPlayer, const QString &strText) {
    if (m_socket.state() != QAbstractSocket::BoundState)
        return;
    if (m_pendingTexts.size() >= MAX_PENDING_TEXTS)
        m_pendingTexts.erase(m_pendingTexts.begin());
    m_pendingTexts.push_back(COscFeedback::TextValue(nPlayer, strText));
    m_flush.Request();
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
            lo_message_add_string(message, value.strHealth.constData());
            lo_message_add_string(message, value.strSince.constData());
        } else if (value.bTransition) {
            lo_message_add_string(message, value.strValue.constData());
            lo_message_add_int32(message, value.nDurationMs);
            lo_message_add_int32(message, value.nValue);
        } else if (value.bTimecode) {
            lo_message_add_string(message, value.strValue.constData());
            lo_message_add_string(message, value.strLabel.constData());
            lo_message_add_string(message, value.strState.constData());
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
