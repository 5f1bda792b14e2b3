// What the browser page shows of the program, as the main window reports it: the players' values
// of the OSC feedback, the switches of the control bar and the menus, and the playlist. A plain
// record, filled on the UI thread by whoever owns the players.
#pragma once

#include "remote/COscFeedback.h"

#include <QString>

#include <vector>

struct CWebStatus {
    struct Row {
        QString strName;
        QString strLength; // as the playlist shows it
        bool operator==(const Row &) const = default;
    };

    COscFeedback::Status players; // per player, the active one and the volume
    bool bMuted = false;
    bool bFullscreen = false;
    bool bRepeatSingle = false;
    bool bAutoNext = false;
    bool bLoopList = false;
    std::vector<Row> playlist;
    int nMarkedRow = -1; // the row the current track was last set to; -1 none
};
