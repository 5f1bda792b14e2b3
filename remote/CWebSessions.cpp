#include "remote/CWebSessions.h"

#include <QList>
#include <QRandomGenerator>

#include <algorithm>

namespace {

// Compares every byte, so the time taken does not tell how much of a guess was right.
bool SameBytes(const QByteArray &a, const QByteArray &b) {
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace

void CWebSessions::SetPassword(const QString &strPassword) {
    m_password = strPassword.toUtf8();
    m_tokens.clear();
}

CWebSessions::Login CWebSessions::LogIn(const QString &strPassword, uint32_t dwNow,
                                        QByteArray &token) {
    if (!m_failures.HasRoom(dwNow))
        return Login::TooManyAttempts;
    if (!SameBytes(strPassword.toUtf8(), m_password)) {
        m_failures.Count();
        return Login::WrongPassword;
    }
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    token = QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
    if (m_tokens.size() >= MAX_SESSIONS)
        m_tokens.pop_front();
    m_tokens.push_back(token);
    return Login::Opened;
}

bool CWebSessions::Admits(const QByteArray &cookieHeader) const {
    if (IsOpen())
        return true;
    const QByteArray token = TokenIn(cookieHeader);
    return !token.isEmpty() &&
           std::any_of(m_tokens.begin(), m_tokens.end(),
                       [&](const QByteArray &t) { return SameBytes(t, token); });
}

QByteArray CWebSessions::SetCookie(const QByteArray &token) {
    return QByteArray(COOKIE_NAME) + "=" + token + "; Path=/; HttpOnly; SameSite=Strict";
}

QByteArray CWebSessions::TokenIn(const QByteArray &cookieHeader) {
    const QByteArray prefix = QByteArray(COOKIE_NAME) + "=";
    for (const QByteArray &part : cookieHeader.split(';')) {
        const QByteArray cookie = part.trimmed();
        if (cookie.startsWith(prefix))
            return cookie.mid(prefix.size());
    }
    return {};
}
