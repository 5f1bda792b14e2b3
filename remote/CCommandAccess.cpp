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

} // namespace

void CCommandAccess::Read(CProfile &profile, const char *pszOperation) {
    const QString strAllow = profile.GetProfileString(kSection, "AllowFrom", QString());
    for (const QString &strBad : SetAllowFrom(strAllow))
        LogError("%s: Invalid AllowFrom entry \"%s\".\n", pszOperation, qPrintable(strBad));
    if (m_bRestricted && m_allowed.isEmpty())
        LogError("%s: AllowFrom has no valid entry; no host may command.\n", pszOperation);
    const QString strBind = profile.GetProfileString(kSection, "BindAddress", QString());
    if (!SetBindAddress(strBind))
        LogError("%s: Invalid BindAddress \"%s\".\n", pszOperation, qPrintable(strBind));
}

QStringList CCommandAccess::SetAllowFrom(const QString &strList) {
    static const QRegularExpression kSeparators("[,;\\s]+");
    const QStringList entries = strList.split(kSeparators, Qt::SkipEmptyParts);
    QStringList bad;
    m_allowed.clear();
    m_bRestricted = !entries.isEmpty();
    for (const QString &strEntry : entries) {
        QPair<QHostAddress, int> subnet;
        if (strEntry.contains('/')) {
            subnet = QHostAddress::parseSubnet(strEntry);
        } else {
            QHostAddress address;
            if (address.setAddress(strEntry))
                subnet = {Plain(address),
                          address.protocol() == QAbstractSocket::IPv6Protocol ? 128 : 32};
        }
        if (subnet.first.isNull() || subnet.second < 0)
            bad << strEntry;
        else
            m_allowed << subnet;
    }
    return bad;
}

bool CCommandAccess::SetBindAddress(const QString &strAddress) {
    const QString strTrimmed = strAddress.trimmed();
    if (strTrimmed.isEmpty()) {
        m_bindAddress = QHostAddress(QHostAddress::AnyIPv4);
        return true;
    }
    if (m_bindAddress.setAddress(strTrimmed))
        return true;
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
