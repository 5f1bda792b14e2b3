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

    // Reads both values; unreadable entries are logged under pszOperation and left out.
    void Read(CProfile &profile, const char *pszOperation);

    // A list of addresses and networks ("10.0.0.0/24, 192.168.1.50"), separated by commas or
    // blanks. Empty lets every sender command. A list that is not empty but holds no readable
    // entry lets nobody command: a typing error must not open the door. Returns the entries
    // that could not be read.
    QStringList SetAllowFrom(const QString &strList);
    // Empty means every local address; false (and a null address) when the text is no address.
    bool SetBindAddress(const QString &strAddress);

    // The address to bind the command sockets to; null when BindAddress could not be read.
    QHostAddress BindAddress() const { return m_bindAddress; }
    bool Allows(const QHostAddress &sender) const;
    // Allows, and a refusal logged under pszOperation once per sender and minute.
    bool Admit(const QHostAddress &sender, uint32_t dwNow, const char *pszOperation);

private:
    bool m_bRestricted = false;
    QList<QPair<QHostAddress, int>> m_allowed;
    QHostAddress m_bindAddress{QHostAddress::AnyIPv4};
    QHash<QString, uint32_t> m_lastRefusalLog;
};
