// What one start of the program is asked to do, read from its command line before any window
// or display exists, so --help and --version work on a machine without one.
#pragma once

#include <QString>
#include <QStringList>

struct CCommandLine {
    enum Action {
        ACTION_RUN,
        ACTION_HELP,
        ACTION_VERSION,
        ACTION_PRINT_SETTINGS,
        ACTION_LIST_AUDIO_DEVICES,
        ACTION_ERROR
    };
    // Exit code of a usage error; help and version end with 0.
    static constexpr int EXIT_USAGE = 2;

    // args includes the program name, as argv does. Fills the fields and returns the action.
    Action Parse(const QStringList &args);
    static QString Usage();
    static QString Version();

    Action m_action = ACTION_RUN;
    // Playlist and media files, opened in this order as the recent-file list opens them.
    QStringList m_files;
    bool m_bFullScreen = false;
    // Output screen for this run only; empty = as the settings say.
    QString m_strScreen;
    // Another settings file instead of the per-user one; empty = the per-user one.
    QString m_strSettingsFile;
    bool m_bNoSplash = false;
    // No control window: the show runs on the output screen with its remote inputs, and the
    // logbook goes to stderr.
    bool m_bHeadless = false;
    // Synchronised playback for this run only: lead, or follow the leader at this address.
    bool m_bLead = false;
    QString m_strFollow;
    // The message of ACTION_ERROR.
    QString m_strError;
};
