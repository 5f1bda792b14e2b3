// Keeps the order of the commands for a player while an open of that player is under way. An
// open does not hold the program while the media prerolls, but what a controller sends after
// it ("open, then play") must still act on what it opened: a command for a player whose open
// has not ended waits, as does every later one for the same player, and they run in the order
// they came once it has ended. Commands for the other player, and those for no player (the
// volume is common), do not wait. Of opens that wait for the same player with nothing for it
// between them, only the newest will run: the others are replaced, and answered in their
// turn. Plain bookkeeping; the controller runs the commands. UI thread only.
#pragma once

#include "core/CCommandSink.h"

#include <array>
#include <deque>
#include <optional>

class CHeldCommands {
public:
    struct Held {
        CCommand cmd;
        unsigned nPlayers = 0; // Bit of each player the command acts on
        CCommandSink::Answer answer;
        bool bReplaced = false; // an open a newer one took the place of
    };

    static unsigned Bit(int nPlayer) { return nPlayer == 0 || nPlayer == 1 ? 1u << nPlayer : 0; }

    // Whether a command acting on these players waits.
    bool MustWait(unsigned nPlayers) const;
    // An open replaces the open held last for its player, if nothing for it came between.
    void Hold(Held held);
    // An open of these players began, or ended (either way).
    void OpenBegan(unsigned nPlayers);
    void OpenEnded(unsigned nPlayers);
    // The first held command free to run now: no open of its players under way and no
    // earlier held command for them. Taken out of the queue.
    std::optional<Held> TakeNext();
    size_t Count() const { return m_held.size(); }

private:
    unsigned Opening() const;

    std::array<int, 2> m_nOpening{}; // opens under way per player (a replaced one ends later)
    std::deque<Held> m_held;
};
