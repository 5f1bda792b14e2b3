#include "remote/CServerSettings.h"

#include "core/CProfile.h"
#include "remote/CCommandAccess.h"
#include "remote/COscServer.h"

#include <QHostAddress>
#include <cstring>

namespace {
QStringList StatusAddressProblems(const QString &strValue) {
    const QString strAddress = strValue.trimmed();
    QHostAddress address;
    if (address.setAddress(strAddress) && address.protocol() == QAbstractSocket::IPv4Protocol)
        return {};
    return {QStringLiteral("InitServer(): Invalid StatusAddress \"%1\".").arg(strAddress)};
}

// Every server reads them; the binary server's words stand for all.
QStringList AllowFromProblems(const QString &strValue) {
    return CCommandAccess().ReadAllowFrom(strValue, "InitServer()");
}

QStringList BindAddressProblems(const QString &strValue) {
    return CCommandAccess().ReadBindAddress(strValue, "InitServer()");
}

QStringList FeedbackTargetsProblems(const QString &strValue) {
    return COscServer::ReadTargets(strValue, nullptr);
}
} // namespace

const std::vector<CSettingKey> &CServerSettings::NetworkKeys() {
    static const std::vector<CSettingKey> keys = {
        {"Network", "StatusAddress", CSettingKey::TEXT, "255.255.255.255",
         "where the status and text datagrams go (an IPv4 address; the default is the limited "
         "broadcast)",
         CSettingKey::NEXT_START, 0, 0, nullptr, nullptr, false, StatusAddressProblems},
        {"Network", "StatusPort", CSettingKey::INT, "31772",
         "the UDP port the status and text datagrams go to", CSettingKey::NEXT_START, 1, 65535,
         nullptr, "InitServer(): Invalid StatusPort %1, using %2."},
        {"Network", "CommandPort", CSettingKey::INT, "31773",
         "the UDP port the binary remote protocol listens on", CSettingKey::NEXT_START, 1, 65535,
         nullptr, "InitServer(): Invalid CommandPort %1, using %2."},
        {"Network", "BindAddress", CSettingKey::TEXT, "",
         "the local address every command surface listens on (empty: every IPv4 address)",
         CSettingKey::NEXT_START, 0, 0, nullptr, nullptr, false, BindAddressProblems},
        {"Network", "AllowFrom", CSettingKey::TEXT, "",
         "the addresses and networks that may command (\"10.0.0.0/24, 192.168.1.50\"; empty: "
         "every one)",
         CSettingKey::NEXT_START, 0, 0, nullptr, nullptr, false, AllowFromProblems},
    };
    return keys;
}

const std::vector<CSettingKey> &CServerSettings::OscKeys() {
    static const std::vector<CSettingKey> keys = {
        {"OSC", "Port", CSettingKey::INT, "31774", "the UDP port OSC listens on (0: off)",
         CSettingKey::NEXT_START, 0, 65535, nullptr,
         "COscServer::Init(): Invalid Port %1, using %2."},
        {"OSC", "FeedbackTargets", CSettingKey::TEXT, "",
         "where OSC feedback always goes (\"127.0.0.1:9000, 10.0.0.5:8000\")",
         CSettingKey::NEXT_START, 0, 0, nullptr, nullptr, false, FeedbackTargetsProblems},
        {"OSC", "FeedbackInterval", CSettingKey::INT, "100",
         "milliseconds between position reports of OSC, the page and the HTTP clients",
         CSettingKey::NEXT_START, MIN_FEEDBACK_INTERVAL_MS, MAX_FEEDBACK_INTERVAL_MS, nullptr,
         "COscServer::Init(): Invalid FeedbackInterval %1, using %2."},
        {"OSC", "Subscriptions", CSettingKey::BOOL, "1",
         "OSC clients may subscribe to feedback (0: only FeedbackTargets get it)"},
    };
    return keys;
}

const std::vector<CSettingKey> &CServerSettings::WebKeys() {
    static const std::vector<CSettingKey> keys = {
        {"Web", "Port", CSettingKey::INT, "31780", "the TCP port of the browser page (0: off)",
         CSettingKey::NEXT_START, 0, 65535, nullptr,
         "CWebServer::Init(): Invalid Port %1, using %2."},
        {"Web", "Password", CSettingKey::SECRET, "",
         "the page's password; replaced by its hash (PasswordHash) at the next start",
         CSettingKey::NEXT_START},
        {"Web", "PasswordHash", CSettingKey::SECRET, "",
         "the hash of the page's password, written by the program", CSettingKey::KEPT},
        {"Web", "Hosts", CSettingKey::TEXT, "",
         "further host names the page may be reached by (\"stage.example, 10.0.0.5\")",
         CSettingKey::NEXT_START},
    };
    return keys;
}

int CServerSettings::ReadPort(CProfile &profile, const char *pszSection) {
    const auto &keys = std::strcmp(pszSection, "OSC") == 0 ? OscKeys() : WebKeys();
    return CSettingKey::Find(keys, "Port").ReadInt(profile);
}

int CServerSettings::ReadFeedbackInterval(CProfile &profile, bool bLog) {
    const CSettingKey &key = CSettingKey::Find(OscKeys(), "FeedbackInterval");
    if (bLog)
        return key.ReadInt(profile);
    const QString strValue =
        QString::number(profile.GetProfileInt(key.pszSection, key.pszKey, key.DefaultInt()));
    return key.InForce(&strValue).toInt();
}
