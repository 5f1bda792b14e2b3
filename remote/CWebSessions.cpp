#include "remote/CWebSessions.h"

#include <QCryptographicHash>
#include <QList>
#include <QPasswordDigestor>
#include <QRandomGenerator>

#include <algorithm>

namespace {

const char *const kScheme = "pbkdf2-sha256";
constexpr int kKeyBytes = 32;
constexpr int kSaltBytes = 16;
// A stored hash asking for more rounds than this would let an edited file stall every login.
constexpr int kMaxIterations = 1000000;

// Compares every byte, so the time taken does not tell how much of a guess was right.
bool SameBytes(const QByteArray &a, const QByteArray &b) {
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

QByteArray RandomBytes(int nBytes) {
    QByteArray bytes(nBytes, '\0');
    for (char &c : bytes)
        c = static_cast<char>(QRandomGenerator::system()->bounded(256));
    return bytes;
}

QByteArray Derive(const QString &strPassword, const QByteArray &salt, int nIterations) {
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, strPassword.toUtf8(),
                                              salt, nIterations, kKeyBytes);
}

} // namespace

QString CWebSessions::HashPassword(const QString &strPassword) {
    const QByteArray salt = RandomBytes(kSaltBytes);
    return QString("%1$%2$%3$%4")
        .arg(kScheme)
        .arg(HASH_ITERATIONS)
        .arg(QString::fromLatin1(salt.toBase64()),
             QString::fromLatin1(Derive(strPassword, salt, HASH_ITERATIONS).toBase64()));
}

bool CWebSessions::SetPasswordHash(const QString &strHash) {
    m_tokens.clear();
    m_rightDigest.clear();
    m_salt.clear();
    m_key.clear();
    m_bLocked = false;
    if (strHash.isEmpty())
        return true;
    const QStringList parts = strHash.trimmed().split('$');
    bool bOk = parts.size() == 4 && parts[0] == QLatin1String(kScheme);
    const int nIterations = bOk ? parts[1].toInt(&bOk) : 0;
    const auto salt = QByteArray::fromBase64Encoding(parts.value(2).toLatin1(),
                                                     QByteArray::AbortOnBase64DecodingErrors);
    const auto key = QByteArray::fromBase64Encoding(parts.value(3).toLatin1(),
                                                    QByteArray::AbortOnBase64DecodingErrors);
    if (!bOk || nIterations < 1 || nIterations > kMaxIterations || !salt || !key ||
        (*salt).isEmpty() || (*key).size() != kKeyBytes) {
        m_bLocked = true;
        return false;
    }
    m_salt = *salt;
    m_key = *key;
    m_nIterations = nIterations;
    return true;
}

CWebSessions::Login CWebSessions::CheckPassword(const QString &strPassword, const QString &strHost,
                                                uint32_t dwNow) {
    const auto it = m_failures.find(strHost);
    if (it != m_failures.end() && !it->window.HasRoom(dwNow))
        return Login::TooManyAttempts;
    const QByteArray digest =
        QCryptographicHash::hash(strPassword.toUtf8(), QCryptographicHash::Sha256);
    if (!m_bLocked && !m_rightDigest.isEmpty() && SameBytes(digest, m_rightDigest))
        return Login::Opened;
    if (m_bLocked || !SameBytes(Derive(strPassword, m_salt, m_nIterations), m_key)) {
        CountFailure(strHost, dwNow);
        return Login::WrongPassword;
    }
    m_rightDigest = digest;
    return Login::Opened;
}

CWebSessions::Login CWebSessions::LogIn(const QString &strPassword, const QString &strHost,
                                        uint32_t dwNow, QByteArray &token) {
    const Login result = CheckPassword(strPassword, strHost, dwNow);
    if (result != Login::Opened)
        return result;
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    token = QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex();
    if (m_tokens.size() >= MAX_SESSIONS)
        m_tokens.pop_front();
    m_tokens.push_back(token);
    return Login::Opened;
}

void CWebSessions::CountFailure(const QString &strHost, uint32_t dwNow) {
    auto it = m_failures.find(strHost);
    if (it == m_failures.end()) {
        if (m_failures.size() >= MAX_FAILING_HOSTS) {
            m_failures.removeIf([dwNow](const QHash<QString, Failures>::iterator &entry) {
                return dwNow - entry->dwLast >= FAILED_LOGIN_WINDOW_MS;
            });
        }
        if (m_failures.size() >= MAX_FAILING_HOSTS) {
            const auto oldest = std::min_element(m_failures.begin(), m_failures.end(),
                                                 [dwNow](const Failures &a, const Failures &b) {
                                                     return dwNow - a.dwLast > dwNow - b.dwLast;
                                                 });
            m_failures.erase(oldest);
        }
        it = m_failures.insert(strHost, Failures());
    }
    it->window.Take(dwNow);
    it->dwLast = dwNow;
}

bool CWebSessions::Admits(const QByteArray &cookieHeader) const {
    if (IsOpen())
        return true;
    const QByteArray token = TokenIn(cookieHeader);
    return !token.isEmpty() &&
           std::any_of(m_tokens.begin(), m_tokens.end(),
                       [&](const QByteArray &t) { return SameBytes(t, token); });
}

QString CWebSessions::HostKey(const QHostAddress &address) {
    bool bIsV4 = false;
    const quint32 nV4 = address.toIPv4Address(&bIsV4);
    if (bIsV4)
        return QHostAddress(nV4).toString();
    Q_IPV6ADDR bytes = address.toIPv6Address();
    std::fill(bytes.c + 8, bytes.c + 16, 0);
    return QHostAddress(bytes).toString() + "/64";
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
