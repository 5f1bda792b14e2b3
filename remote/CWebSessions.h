// Who may use the page when a password is set: a login with the password opens a session, whose
// random token the browser keeps in a cookie (HttpOnly, SameSite=Strict) and sends with every
// request and with its WebSocket. The password itself is never kept, only its salted PBKDF2 hash
// ([Web] PasswordHash). Wrong passwords are counted per host, so that guessing from one host
// never locks out another. No sockets here. UI thread only.
#pragma once

#include "core/CRateWindow.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QString>

#include <cstdint>
#include <deque>

class CWebSessions {
public:
    static constexpr const char *COOKIE_NAME = "tessaro_session";
    // Sessions kept; a new one beyond them ends the oldest.
    static constexpr size_t MAX_SESSIONS = 64;
    // Failed logins one host may have per window before its logins are refused until the
    // window ends, so the password cannot be guessed at network speed.
    static constexpr int MAX_FAILED_LOGINS = 10;
    static constexpr uint32_t FAILED_LOGIN_WINDOW_MS = 10000;
    // Hosts whose failures are remembered; beyond them the one that failed longest ago goes.
    static constexpr int MAX_FAILING_HOSTS = 1024;
    // PBKDF2-SHA256 rounds of a new hash: Qt's PBKDF2 takes some 30 ms for them here, and a
    // login is checked on the UI thread, where each host may try 10 times in 10 s.
    static constexpr int HASH_ITERATIONS = 10000;

    enum class Login { Opened, WrongPassword, TooManyAttempts };

    // The stored form of a password: "pbkdf2-sha256$ROUNDS$SALT$KEY", salt and key in base64,
    // the salt random.
    static QString HashPassword(const QString &strPassword);
    // Empty: no password. False when strHash is no stored form: then no password opens the page
    // (a damaged setting must not open the door).
    bool SetPasswordHash(const QString &strHash);
    // No password: everybody may use the page, and no session is needed.
    bool IsOpen() const { return !m_bLocked && m_key.isEmpty(); }

    // strHost is who tries (HostKey). On Opened, token holds the new session's token.
    Login LogIn(const QString &strPassword, const QString &strHost, uint32_t dwNow,
                QByteArray &token);
    // A script's password, given with each request: Opened (no session is opened, so scripts
    // never push the pages' sessions out) or why not, counted per host as logins are. The
    // password last found right is remembered by its digest, so a script's every request does
    // not cost a key derivation.
    Login CheckPassword(const QString &strPassword, const QString &strHost, uint32_t dwNow);
    // True when the page is open or the request's Cookie header names a live session.
    bool Admits(const QByteArray &cookieHeader) const;

    // What one host is counted as: an IPv4 address (also IPv4-mapped), or an IPv6 address's /64
    // network, which one machine can fill with addresses of its own.
    static QString HostKey(const QHostAddress &address);
    // The Set-Cookie header value for a session token.
    static QByteArray SetCookie(const QByteArray &token);
    // The session token in a Cookie header, or empty.
    static QByteArray TokenIn(const QByteArray &cookieHeader);

private:
    struct Failures {
        CRateWindow window{FAILED_LOGIN_WINDOW_MS, MAX_FAILED_LOGINS};
        uint32_t dwLast = 0;
    };
    void CountFailure(const QString &strHost, uint32_t dwNow);

    QByteArray m_rightDigest; // SHA-256 of the password last found right; empty: none
    QByteArray m_salt;
    QByteArray m_key;
    int m_nIterations = 0;
    bool m_bLocked = false;
    std::deque<QByteArray> m_tokens;
    QHash<QString, Failures> m_failures;
};
