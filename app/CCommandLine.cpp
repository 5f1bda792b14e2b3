#include "app/CCommandLine.h"

#include <QCommandLineParser>

namespace {

// One table serves the parser and the usage text, so the two cannot drift apart.
struct OptionText {
    const char *pszNames;
    const char *pszValue;
    const char *pszHelp;
};

constexpr OptionText kOptions[] = {
    {"fullscreen", nullptr, "start with the video full screen"},
    {"screen", "NAME", "show the full-screen output on screen NAME (this run only)"},
    {"settings", "FILE", "read and write settings in FILE instead of the per-user file"},
    {"no-splash", nullptr, "start without the splash picture"},
    {"headless", nullptr, "run without the control window: the pictures on the output screen"},
    {"lead", nullptr, "lead synchronised playback on other machines (this run only)"},
    {"follow", "ADDRESS", "follow the leader at ADDRESS in synchronised playback (this run only)"},
    {"print-settings", nullptr, "print every setting in force with its default, as INI, and exit"},
    {"list-audio-devices", nullptr, "print the sound output devices ([Audio] Device) and exit"},
    {"h,help", nullptr, "print this text and exit"},
    {"v,version", nullptr, "print the version and exit"},
};

} // namespace

QString CCommandLine::Usage() {
    QString strText = QStringLiteral("Usage: tessaro [options] [FILE...]\n"
                                     "\n"
                                     "Show-control media player with two players, a playlist and "
                                     "a network remote control.\n"
                                     "Each FILE is opened in turn: a playlist file (.m3u, .m3u8, "
                                     ".pls) replaces the\n"
                                     "playlist, a media file opens in the active player.\n"
                                     "\n"
                                     "Options:\n");
    for (const OptionText &option : kOptions) {
        QString strNames;
        for (const QString &strName : QString::fromLatin1(option.pszNames).split(',')) {
            if (!strNames.isEmpty())
                strNames += ", ";
            strNames += (strName.size() == 1 ? "-" : "--") + strName;
        }
        if (!QString::fromLatin1(option.pszNames).contains(','))
            strNames.prepend("    ");
        if (option.pszValue)
            strNames += QLatin1Char(' ') + QLatin1String(option.pszValue);
        strText += QStringLiteral("  %1  %2\n").arg(strNames, -20).arg(option.pszHelp);
    }
    strText += QStringLiteral("\nExit codes: 0 normal end, 1 start-up failed, 2 usage error.\n");
    return strText;
}

QString CCommandLine::Version() {
    return QStringLiteral("Tessaro %1\n").arg(QStringLiteral(TESSARO_VERSION));
}

CCommandLine::Action CCommandLine::Parse(const QStringList &args) {
    QCommandLineParser parser;
    for (const OptionText &option : kOptions) {
        QCommandLineOption qOption(QString::fromLatin1(option.pszNames).split(','),
                                   QString::fromLatin1(option.pszHelp));
        if (option.pszValue)
            qOption.setValueName(QString::fromLatin1(option.pszValue));
        parser.addOption(qOption);
    }
    if (!parser.parse(args)) {
        m_strError = parser.errorText();
        return m_action = ACTION_ERROR;
    }
    if (parser.isSet("help"))
        return m_action = ACTION_HELP;
    if (parser.isSet("version"))
        return m_action = ACTION_VERSION;
    if (parser.isSet("list-audio-devices"))
        return m_action = ACTION_LIST_AUDIO_DEVICES;
    m_files = parser.positionalArguments();
    m_bFullScreen = parser.isSet("fullscreen");
    m_strScreen = parser.value("screen");
    m_strSettingsFile = parser.value("settings");
    m_bNoSplash = parser.isSet("no-splash");
    m_bHeadless = parser.isSet("headless");
    m_bLead = parser.isSet("lead");
    m_strFollow = parser.value("follow");
    if (m_bLead && parser.isSet("follow")) {
        m_strError = QStringLiteral("--lead and --follow exclude each other.");
        return m_action = ACTION_ERROR;
    }
    if (parser.isSet("follow") && m_strFollow.isEmpty()) {
        m_strError = QStringLiteral("--follow needs the leader's address.");
        return m_action = ACTION_ERROR;
    }
    if (parser.isSet("screen") && m_strScreen.isEmpty()) {
        m_strError = QStringLiteral("--screen needs a screen name.");
        return m_action = ACTION_ERROR;
    }
    if (parser.isSet("settings") && m_strSettingsFile.isEmpty()) {
        m_strError = QStringLiteral("--settings needs a file name.");
        return m_action = ACTION_ERROR;
    }
    if (parser.isSet("print-settings"))
        return m_action = ACTION_PRINT_SETTINGS;
    return m_action = ACTION_RUN;
}
