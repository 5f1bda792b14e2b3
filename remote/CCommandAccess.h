// Who may command the player over the network, for every command protocol alike: the local
// address the command sockets listen on ([Network] BindAddress) and the senders whose commands
// run ([Network] AllowFrom). No sockets here, so the rule can be tested on its own.
#pragma once

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

class CProfile;

class CCommandAccess {
public:
    static constexpr uint32_t REFUSAL_LOG_PERIOD_MS = 60000;
    // Refused senders remembered for the log's sake; a spoofed flood from many addresses
    // must not grow it without end.
    static constexpr int MAX_REMEMBERED_SENDERS = 256;

    // Reads both values; unreadable entries are logged under pszOperation and left out, as are
    // entries that admit every host and a bind address that shuts IPv4 controllers out.
    void Read(CProfile &profile, const char *pszOperation);
    // The same for one value each, as a Preferences page checks it: the logbook lines for it,
    // without "\n", none when it is good.
    QStringList ReadAllowFrom(const QString &strAllow, const char *pszOperation);
    QStringList ReadBindAddress(const QString &strBind, const char *pszOperation);

    // A list of addresses and networks ("10.0.0.0/24, 192.168.1.50"), separated by commas,
    // semicolons or blanks. Only an empty value lets every sender command. Any other value that
    // holds no readable entry (blanks, bare separators, "/0") lets nobody command: a typing
    // error must not open the door. Returns the entries that could not be read.
    QStringList SetAllowFrom(const QString &strList);
    // The readable entries of the last SetAllowFrom that admit every host ("127.0.0.2/0"):
    // valid notation, but most likely not what was meant.
    QStringList EntriesAdmittingEveryone() const { return m_admittingEveryone; }
    // Empty means every local IPv4 address; "::" every local address of both families.
    // False (and a null address) when the text is no address.
    bool SetBindAddress(const QString &strAddress);

    // The address to bind the command sockets to; null when BindAddress could not be read.
    // "::" comes back as QHostAddress::Any, which Qt binds dual-stack (IPV6_V6ONLY off), so
    // IPv4 controllers are served beside IPv6 ones.
    QHostAddress BindAddress() const { return m_bindAddress; }
    bool Allows(const QHostAddress &sender) const;
    // Allows, and a refusal logged under pszOperation once per sender and minute.
    bool Admit(const QHostAddress &sender, uint32_t dwNow, const char *pszOperation);

private:
    bool m_bRestricted = false;
    QList<QPair<QHostAddress, int>> m_allowed;
    QStringList m_admittingEveryone;
    QHostAddress m_bindAddress{QHostAddress::AnyIPv4};
    QHash<QString, uint32_t> m_lastRefusalLog;
};
