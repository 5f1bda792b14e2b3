#include "remote/CCommandAccess.h"

#include "core/CLogBook.h"
#include "core/CProfile.h"

#include <QRegularExpression>

namespace {

const char *const kSection = "Network";

// A sender on an IPv6 socket may arrive as ::ffff:a.b.c.d; the list speaks IPv4.
QHostAddress Plain(const QHostAddress &address) {
    bool bIsV4 = false;
    const quint32 nV4 = address.toIPv4Address(&bIsV4);
    return bIsV4 ? QHostAddress(nV4) : address;
}

// One entry: an address, or an address, "/" and a prefix length in range. Qt's own subnet
// parser also takes partial addresses ("10/8") and an empty one ("/0" = every host); a list
// that must fail closed takes neither.
QPair<QHostAddress, int> ParseEntry(const QString &strEntry) {
    const qsizetype nSlash = strEntry.indexOf('/');
    QHostAddress address;
    if (!address.setAddress(strEntry.left(nSlash < 0 ? strEntry.size() : nSlash)))
        return {QHostAddress(), -1};
    const bool bV6 = address.protocol() == QAbstractSocket::IPv6Protocol;
    int nPrefix = bV6 ? 128 : 32;
    if (nSlash >= 0) {
        static const QRegularExpression kPrefix("^[0-9]{1,3}$");
        const QString strPrefix = strEntry.mid(nSlash + 1);
        if (!kPrefix.match(strPrefix).hasMatch() || strPrefix.toInt() > nPrefix)
            return {QHostAddress(), -1};
        nPrefix = strPrefix.toInt();
    }
    // Senders are compared as plain IPv4, so an IPv4-mapped network is kept as IPv4 too.
    bool bIsV4 = false;
    const quint32 nV4 = address.toIPv4Address(&bIsV4);
    if (bV6 && bIsV4 && nPrefix >= 96)
        return QHostAddress::parseSubnet(QHostAddress(nV4).toString() + '/' +
                                         QString::number(nPrefix - 96));
    return QHostAddress::parseSubnet(address.toString() + '/' + QString::number(nPrefix));
}

} // namespace

void CCommandAccess::Read(CProfile &profile, const char *pszOperation) {
    const QString strAllow = profile.GetProfileString(kSection, "AllowFrom", QString());
    for (const QString &strLine : ReadAllowFrom(strAllow, pszOperation))
        LogError("%s\n", qPrintable(strLine));
    const QString strBind = profile.GetProfileString(kSection, "BindAddress", QString());
    for (const QString &strLine : ReadBindAddress(strBind, pszOperation))
        LogError("%s\n", qPrintable(strLine));
    if (!m_bindAddress.isNull() && m_bindAddress.protocol() == QAbstractSocket::IPv6Protocol)
        LogMsg("%s: BindAddress %s takes commands over IPv6 only.\n", pszOperation,
               qPrintable(m_bindAddress.toString()));
}

QStringList CCommandAccess::ReadAllowFrom(const QString &strAllow, const char *pszOperation) {
    QStringList problems;
    for (const QString &strBad : SetAllowFrom(strAllow))
        problems << QStringLiteral("%1: Invalid AllowFrom entry \"%2\".").arg(pszOperation, strBad);
    if (m_bRestricted && m_allowed.isEmpty())
        problems << QStringLiteral("%1: AllowFrom has no valid entry; no host may command.")
                        .arg(pszOperation);
    for (const QString &strOpen : m_admittingEveryone)
        problems << QStringLiteral("%1: AllowFrom entry \"%2\" admits every host.")
                        .arg(pszOperation, strOpen);
    return problems;
}

QStringList CCommandAccess::ReadBindAddress(const QString &strBind, const char *pszOperation) {
    if (SetBindAddress(strBind))
        return {};
    return {QStringLiteral("%1: Invalid BindAddress \"%2\".").arg(pszOperation, strBind)};
}

QStringList CCommandAccess::SetAllowFrom(const QString &strList) {
    static const QRegularExpression kSeparators("[,;\\s]+");
    const QStringList entries = strList.split(kSeparators, Qt::SkipEmptyParts);
    QStringList bad;
    m_allowed.clear();
    m_admittingEveryone.clear();
    // Whatever was written counts, even if nothing in it can be read (a quoted blank, a
    // lone separator): only a value left empty opens the door.
    m_bRestricted = !strList.isEmpty();
    for (const QString &strEntry : entries) {
        const QPair<QHostAddress, int> subnet = ParseEntry(strEntry);
        if (subnet.first.isNull() || subnet.second < 0) {
            bad << strEntry;
            continue;
        }
        m_allowed << subnet;
        if (subnet.second == 0)
            m_admittingEveryone << strEntry;
    }
    return bad;
}

bool CCommandAccess::SetBindAddress(const QString &strAddress) {
    const QString strTrimmed = strAddress.trimmed();
    if (strTrimmed.isEmpty()) {
        m_bindAddress = QHostAddress(QHostAddress::AnyIPv4);
        return true;
    }
    if (m_bindAddress.setAddress(strTrimmed)) {
        // A socket bound to "::" alone would be IPv6 only (Qt sets IPV6_V6ONLY for it);
        // Any is the same wildcard with IPv4 served beside it.
        if (m_bindAddress == QHostAddress(QHostAddress::AnyIPv6))
            m_bindAddress = QHostAddress(QHostAddress::Any);
        return true;
    }
    m_bindAddress.clear();
    return false;
}

bool CCommandAccess::Allows(const QHostAddress &sender) const {
    if (!m_bRestricted)
        return true;
    const QHostAddress plain = Plain(sender);
    for (const auto &subnet : m_allowed)
        if (plain.isInSubnet(subnet))
            return true;
    return false;
}

bool CCommandAccess::Admit(const QHostAddress &sender, uint32_t dwNow, const char *pszOperation) {
    if (Allows(sender))
        return true;
    const QString strSender = Plain(sender).toString();
    const auto it = m_lastRefusalLog.constFind(strSender);
    if (it != m_lastRefusalLog.constEnd() && dwNow - it.value() < REFUSAL_LOG_PERIOD_MS)
        return false;
    if (m_lastRefusalLog.size() >= MAX_REMEMBERED_SENDERS) {
        m_lastRefusalLog.removeIf([dwNow](const QHash<QString, uint32_t>::iterator &entry) {
            return dwNow - entry.value() >= REFUSAL_LOG_PERIOD_MS;
        });
        // Still full: a flood from more addresses than a minute's memory holds. Forgetting
        // costs at most one more line per sender.
        if (m_lastRefusalLog.size() >= MAX_REMEMBERED_SENDERS)
            m_lastRefusalLog.clear();
    }
    m_lastRefusalLog.insert(strSender, dwNow);
    LogMsg("%s: Command from %s refused: not in AllowFrom.\n", pszOperation, qPrintable(strSender));
    return false;
}
