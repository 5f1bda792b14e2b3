// Who may use the page when [Web] Password is set: a login with the password opens a session,
// whose random token the browser keeps in a cookie (HttpOnly, SameSite=Strict) and sends with
// every request and with its WebSocket. No sockets here. UI thread only.
#pragma once

#include "core/CRateWindow.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>

class CWebSessions {
public:
    static constexpr const char *COOKIE_NAME = "tessaro_session";
    // Sessions kept; a new one beyond them ends the oldest.
    static constexpr size_t MAX_SESSIONS = 64;
    // Failed logins allowed per window before every login is refused until the window ends,
    // so the password cannot be guessed at network speed.
    static constexpr int MAX_FAILED_LOGINS = 10;
    static constexpr uint32_t FAILED_LOGIN_WINDOW_MS = 10000;

    enum class Login { Opened, WrongPassword, TooManyAttempts };

    void SetPassword(const QString &strPassword);
    // No password: everybody may use the page, and no session is needed.
    bool IsOpen() const { return m_password.isEmpty(); }

    // On Opened, token holds the new session's token.
    Login LogIn(const QString &strPassword, uint32_t dwNow, QByteArray &token);
    // True when the page is open or the request's Cookie header names a live session.
    bool Admits(const QByteArray &cookieHeader) const;

    // The Set-Cookie header value for a session token.
    static QByteArray SetCookie(const QByteArray &token);
    // The session token in a Cookie header, or empty.
    static QByteArray TokenIn(const QByteArray &cookieHeader);

private:
    QByteArray m_password;
    std::deque<QByteArray> m_tokens;
    CRateWindow m_failures{FAILED_LOGIN_WINDOW_MS, MAX_FAILED_LOGINS};
};
