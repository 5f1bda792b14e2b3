// What one run of the tessaro-remote controller is asked to do, read from its command line.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

struct CRemoteOptions {
    // MODE and SYNC speak OSC: the datagram protocol has no play modes and no sync state.
    enum Action { ACTION_HELP, ACTION_SEND, ACTION_LISTEN, ACTION_MODE, ACTION_SYNC };
    enum Filter { FILTER_ANY, FILTER_STATUS, FILTER_TEXT };

    // The arguments without the program name. False on bad usage, with m_strError set.
    bool Parse(const QStringList &args);
    static QString Usage();

    Action m_action = ACTION_HELP;
    int32_t m_nCode = 0;
    int32_t m_nValue = 0;
    int32_t m_nPlayerId = 0;
    QString m_strText;
    QString m_strMode; // ACTION_MODE: "repeat", "autonext" or "loop"

    QString m_strHost = QStringLiteral("127.0.0.1");
    int m_nPort = 31773;
    int m_nOscPort = 31774;
    QString m_strBind = QStringLiteral("0.0.0.0");
    int m_nListenPort = 31772;
    int m_nCount = 0;      // datagrams to print before stopping; 0 = no limit
    int m_nTimeoutMs = -1; // -1 = wait for ever
    bool m_bJson = false;
    Filter m_filter = FILTER_ANY;
    // A send command given --count, --timeout or --wait also listens, bound before it sends.
    bool m_bListenAfterSend = false;
    // --wait: no answer (a command's status or text, a mode as asked, the sync state) within
    // the timeout is an error.
    bool m_bWait = false;
    static constexpr int WAIT_DEFAULT_MS = 2000;

    QString m_strError;

private:
    bool Fail(const QString &strError);
    bool ParseCommand(const QStringList &words);
};
