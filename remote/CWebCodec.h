// The page's protocol, as JSON text over its WebSocket, with no sockets here. Out: "state"
// messages that carry what changed of the show (per player under its letter, the active player,
// the volume, the switches, the playlist, the sync state) and "text" messages with each status
// text; in: one command per message, turned into a CCommand that the controller runs as any other
// input's.
//
//   {"type":"state","b":{"state":2,"position":1200,"remaining":800},"active":"B"}
//   {"type":"text","player":"B","text":"Playback started."}
//   {"action":"play","player":"B"}   {"action":"open","player":"A","row":2}
#pragma once

#include "core/CCommand.h"
#include "core/CShowState.h"
#include "core/CToldState.h"

#include <QByteArray>
#include <QString>

#include <optional>

class CWebCodec {
public:
    // The changes since the previous call as one "state" message, and on a tick the position
    // and remaining time of each playing player; empty when nothing is to be told.
    // The volume is the level the page's slider shows, muted or not, beside "muted".
    QByteArray Collect(const CShowState &state, bool bTick);
    // The whole state, for a page that has just connected; what Collect remembers stays.
    static QByteArray All(const CShowState &state);
    // A player's status text ("Playback started.") as a "text" message.
    static QByteArray Text(int nPlayer, const QString &strText);

    // A command message of the page. nActive is the active player, whom a volume command names
    // (the volume is common to both players). Without a value, strError says why.
    static std::optional<CCommand> ParseCommand(const QByteArray &message, int nActive,
                                                QString &strError);

private:
    CToldState m_told;
};
