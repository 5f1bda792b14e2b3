#include "CRemoteOptions.h"

#include "remote/protocol/CNetDatagram.h"

#include <QRegularExpression>

#include <limits>

namespace {

bool ToInt32(const QString &str, int32_t &nOut) {
    bool bOk = false;
    const qlonglong n = str.toLongLong(&bOk, 10);
    if (!bOk || n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
        return false;
    nOut = static_cast<int32_t>(n);
    return true;
}

bool ToPort(const QString &str, int &nOut) {
    int32_t n = 0;
    if (!ToInt32(str, n) || n < 1 || n > 65535)
        return false;
    nOut = n;
    return true;
}

bool ToPlayer(const QString &str, int32_t &nOut) {
    if (str.compare(QLatin1String("A"), Qt::CaseInsensitive) == 0) {
        nOut = 0;
        return true;
    }
    if (str.compare(QLatin1String("B"), Qt::CaseInsensitive) == 0) {
        nOut = 1;
        return true;
    }
    return ToInt32(str, nOut); // any id: the player itself rejects the wrong ones
}

} // namespace

QString CRemoteOptions::Usage() {
    return QStringLiteral(
        "Usage: tessaro-remote [options] COMMAND [ARGUMENT...]\n"
        "\n"
        "Commands (sent as one datagram to HOST:PORT):\n"
        "  play | stop | pause | select   start, stop, pause or select the player\n"
        "  open PATH | open :N             open a file, or playlist entry N (1 = first)\n"
        "  seek MS                         seek to MS milliseconds\n"
        "  volume PERCENT                  set the volume, 0..100\n"
        "  raw CODE [VALUE [TEXT]]         any command code with its value and text\n"
        "  repeat|autonext|loop 1|0        switch a play mode on or off (over OSC)\n"
        "  listen                          print status and text datagrams, one a line\n"
        "  sync                            print the sync state (over OSC): role, health,\n"
        "                                  clock offset, followers, leader lost since\n"
        "\n"
        "Options:\n"
        "  -H, --host ADDR        player's IPv4 host (default 127.0.0.1)\n"
        "  -p, --port N           player's command port (default 31773)\n"
        "  -o, --osc-port N       player's OSC port (default 31774)\n"
        "  -P, --player A|B|ID    player to command (default A)\n"
        "  -l, --listen-port N    port status datagrams arrive on (default 31772)\n"
        "  -b, --bind ADDR        local address to listen on (default 0.0.0.0)\n"
        "  -n, --count N          stop after N datagrams\n"
        "  -t, --timeout MS       stop after MS milliseconds\n"
        "  -w, --wait             wait for the answer (a command's status or text, the mode\n"
        "                         as asked) and fail without one (default timeout 2000 ms)\n"
        "      --type status|text print only that kind\n"
        "  -j, --json             print JSON lines instead of text\n"
        "  -h, --help             this text\n"
        "A command given --count or --timeout listens afterwards, as listen does.\n"
        "\n"
        "Exit codes: 0 done, 1 network error, 2 usage error,\n"
        "            3 timeout before COUNT datagrams or the awaited answer arrived.\n");
}

bool CRemoteOptions::Fail(const QString &strError) {
    m_strError = strError;
    return false;
}

bool CRemoteOptions::Parse(const QStringList &args) {
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+$"));
    QStringList words;
    bool bOptionsEnded = false;
    bool bListenLimit = false;
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        // Negative numbers are arguments (seek -1, raw 12 -5), not options.
        if (bOptionsEnded || !arg.startsWith('-') || arg == QLatin1String("-") ||
            number.match(arg).hasMatch()) {
            words << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            bOptionsEnded = true;
            continue;
        }
        QString value;
        bool bInline = false;
        const qsizetype nEq = arg.indexOf('=');
        if (arg.startsWith(QLatin1String("--")) && nEq > 0) {
            value = arg.mid(nEq + 1);
            arg = arg.left(nEq);
            bInline = true;
        }
        auto isOpt = [&arg](const char *pszShort, const char *pszLong) {
            return (pszShort && arg == QLatin1String(pszShort)) || arg == QLatin1String(pszLong);
        };
        if (isOpt("-h", "--help")) {
            m_action = ACTION_HELP;
            return true;
        }
        if (isOpt("-j", "--json")) {
            m_bJson = true;
            continue;
        }
        if (isOpt("-w", "--wait")) {
            m_bWait = true;
            continue;
        }
        if (!bInline) {
            if (i + 1 >= args.size())
                return Fail(QStringLiteral("option %1 needs a value").arg(arg));
            value = args[++i];
        }
        if (isOpt("-H", "--host")) {
            m_strHost = value;
        } else if (isOpt("-p", "--port")) {
            if (!ToPort(value, m_nPort))
                return Fail(QStringLiteral("bad port: %1").arg(value));
        } else if (isOpt("-o", "--osc-port")) {
            if (!ToPort(value, m_nOscPort))
                return Fail(QStringLiteral("bad port: %1").arg(value));
        } else if (isOpt("-P", "--player")) {
            if (!ToPlayer(value, m_nPlayerId))
                return Fail(QStringLiteral("bad player: %1").arg(value));
        } else if (isOpt("-l", "--listen-port")) {
            if (!ToPort(value, m_nListenPort))
                return Fail(QStringLiteral("bad port: %1").arg(value));
        } else if (isOpt("-b", "--bind")) {
            m_strBind = value;
        } else if (isOpt("-n", "--count")) {
            int32_t n = 0;
            if (!ToInt32(value, n) || n < 1)
                return Fail(QStringLiteral("bad count: %1").arg(value));
            m_nCount = n;
            bListenLimit = true;
        } else if (isOpt("-t", "--timeout")) {
            int32_t n = 0;
            if (!ToInt32(value, n) || n < 0)
                return Fail(QStringLiteral("bad timeout: %1").arg(value));
            m_nTimeoutMs = n;
            bListenLimit = true;
        } else if (isOpt(nullptr, "--type")) {
            if (value == QLatin1String("status"))
                m_filter = FILTER_STATUS;
            else if (value == QLatin1String("text"))
                m_filter = FILTER_TEXT;
            else if (value == QLatin1String("any"))
                m_filter = FILTER_ANY;
            else
                return Fail(QStringLiteral("bad type: %1").arg(value));
        } else {
            return Fail(QStringLiteral("unknown option: %1").arg(arg));
        }
    }
    if (!ParseCommand(words))
        return false;
    m_bListenAfterSend = m_action == ACTION_SEND && (bListenLimit || m_bWait);
    if (m_bWait && m_action == ACTION_SEND && m_nCount == 0)
        m_nCount = 1;
    if ((m_bWait || m_action == ACTION_SYNC) && m_nTimeoutMs < 0)
        m_nTimeoutMs = WAIT_DEFAULT_MS;
    return true;
}

bool CRemoteOptions::ParseCommand(const QStringList &words) {
    if (words.isEmpty())
        return Fail(QStringLiteral("no command given"));
    const QString strCommand = words[0].toLower();
    const QStringList rest = words.mid(1);
    auto expectArgs = [&](qsizetype nMin, qsizetype nMax) {
        if (rest.size() < nMin || rest.size() > nMax) {
            m_strError = QStringLiteral("wrong number of arguments for %1").arg(strCommand);
            return false;
        }
        return true;
    };

    m_action = ACTION_SEND;
    if (strCommand == QLatin1String("listen")) {
        m_action = ACTION_LISTEN;
        return expectArgs(0, 0);
    }
    if (strCommand == QLatin1String("sync")) {
        m_action = ACTION_SYNC;
        return expectArgs(0, 0);
    }
    if (strCommand == QLatin1String("repeat") || strCommand == QLatin1String("autonext") ||
        strCommand == QLatin1String("loop")) {
        m_action = ACTION_MODE;
        m_strMode = strCommand;
        if (!expectArgs(1, 1))
            return false;
        const QString strOn = rest[0].toLower();
        if (strOn == QLatin1String("1") || strOn == QLatin1String("on"))
            m_nValue = 1;
        else if (strOn == QLatin1String("0") || strOn == QLatin1String("off"))
            m_nValue = 0;
        else
            return Fail(QStringLiteral("%1 takes 1 or 0: %2").arg(strCommand, rest[0]));
        return true;
    }
    struct Simple {
        const char *pszName;
        int32_t nCode;
    };
    static const Simple simple[] = {{"play", CNetDatagram::CMD_PLAY},
                                    {"stop", CNetDatagram::CMD_STOP},
                                    {"pause", CNetDatagram::CMD_PAUSE},
                                    {"select", CNetDatagram::CMD_SELECT}};
    for (const Simple &s : simple) {
        if (strCommand == QLatin1String(s.pszName)) {
            m_nCode = s.nCode;
            return expectArgs(0, 0);
        }
    }
    if (strCommand == QLatin1String("open")) {
        m_nCode = CNetDatagram::CMD_OPEN;
        if (!expectArgs(1, 1))
            return false;
        m_strText = rest[0];
    } else if (strCommand == QLatin1String("seek") || strCommand == QLatin1String("volume")) {
        m_nCode =
            strCommand == QLatin1String("seek") ? CNetDatagram::CMD_SEEK : CNetDatagram::CMD_VOLUME;
        if (!expectArgs(1, 1))
            return false;
        if (!ToInt32(rest[0], m_nValue))
            return Fail(QStringLiteral("bad number: %1").arg(rest[0]));
        // The player refuses these and keeps its volume; say so here, where the user is.
        if (m_nCode == CNetDatagram::CMD_VOLUME && (m_nValue < 0 || m_nValue > 100))
            return Fail(QStringLiteral("volume out of range 0..100: %1").arg(rest[0]));
    } else if (strCommand == QLatin1String("raw")) {
        if (!expectArgs(1, 3))
            return false;
        if (!ToInt32(rest[0], m_nCode))
            return Fail(QStringLiteral("bad code: %1").arg(rest[0]));
        if (rest.size() > 1 && !ToInt32(rest[1], m_nValue))
            return Fail(QStringLiteral("bad number: %1").arg(rest[1]));
        if (rest.size() > 2)
            m_strText = rest[2];
    } else {
        return Fail(QStringLiteral("unknown command: %1").arg(words[0]));
    }
    // The player would cut a longer text; better to refuse than to open the wrong file.
    if (m_strText.toUtf8().size() >= static_cast<qsizetype>(CNetDatagram::TEXT_SIZE))
        return Fail(QStringLiteral("text longer than %1 bytes").arg(CNetDatagram::TEXT_SIZE - 1));
    return true;
}
