#include "app/CCommandLine.h"
#include "app/CSettingsCatalog.h"
#include "app/CTessaro2App.h"
#include "core/CSettingsProfile.h"
#include "playback/CAudioDevices.h"
#include "playback/CHeapTrim.h"

#include <QFileInfo>
#include <cstdio>
#include <memory>

int main(int argc, char **argv) {
    CHeapTrim::AtStart();
    // Read before the application object exists: help, version and usage errors need no
    // display and open no window.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    CCommandLine commandLine;
    switch (commandLine.Parse(args)) {
    case CCommandLine::ACTION_HELP:
        std::fputs(qPrintable(CCommandLine::Usage()), stdout);
        return 0;
    case CCommandLine::ACTION_VERSION:
        std::fputs(qPrintable(CCommandLine::Version()), stdout);
        return 0;
    case CCommandLine::ACTION_LIST_AUDIO_DEVICES:
        std::fputs(qPrintable(CAudioDevices::Format(CAudioDevices::List())), stdout);
        return 0;
    case CCommandLine::ACTION_ERROR:
        std::fprintf(stderr, "tessaro: %s\n\n%s", qPrintable(commandLine.m_strError),
                     qPrintable(CCommandLine::Usage()));
        return CCommandLine::EXIT_USAGE;
    case CCommandLine::ACTION_RUN:
    case CCommandLine::ACTION_PRINT_SETTINGS:
        break;
    }
    // Refused before any window opens: a pipe there would block the start, a device would
    // be replaced at exit, a huge file would hold up every write.
    QString strReason;
    if (!commandLine.m_strSettingsFile.isEmpty() &&
        !CSettingsProfile::CanUse(commandLine.m_strSettingsFile, &strReason)) {
        std::fprintf(stderr, "tessaro: Cannot use \"%s\" as the settings file: %s.\n",
                     qPrintable(commandLine.m_strSettingsFile), qPrintable(strReason));
        return 1;
    }
    if (commandLine.m_action == CCommandLine::ACTION_PRINT_SETTINGS) {
        auto pProfile = commandLine.m_strSettingsFile.isEmpty()
                            ? std::make_unique<CSettingsProfile>()
                            : std::make_unique<CSettingsProfile>(
                                  QFileInfo(commandLine.m_strSettingsFile).absoluteFilePath());
        std::fputs(CSettingsCatalog::PrintSettings(*pProfile, pProfile->GetFileName())
                       .toUtf8()
                       .constData(),
                   stdout);
        return 0;
    }
    CTessaro2App app(argc, argv, commandLine);
    if (!app.InitInstance())
        return 1;
    return app.Run();
}
