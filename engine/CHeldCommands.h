// The ordering rules of commands while opens are under way (README, "Floods and ordering"). An
// open does not hold the program while the media prerolls, but what a controller sends after
// it ("open, then play") must still act on what it opened: a command for a player whose open
// has not ended waits, as does every later one for the same player, and they run in the order
// they came once it has ended. Commands for the other player, and those for no player (the
// volume is common), do not wait; nor does any of the operator's, which act at once on what
// the player shows. A backlog collapses to what matters: an open makes every command held for
// its player alone before it moot (the newest open and what came after it run), and a seek the
// seek held just before it for the same player. Of opens of a player, the newest by arrival
// wins, whatever input each came from: one that arrived before an open already taken loses.
// Moot commands are answered in their turn without running. Plain bookkeeping; the controller
// runs the commands. UI thread only.
#pragma once

#include "core/CCommandSink.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>

class CHeldCommands {
public:
    struct Held {
        CCommand cmd;
        unsigned nPlayers = 0; // Bit of each player the command acts on
        CCommandSink::Answer answer;
        bool bMoot = false; // a newer command took its place: it does not run
    };

    static unsigned Bit(int nPlayer) { return nPlayer == 0 || nPlayer == 1 ? 1u << nPlayer : 0; }

    // Whether a command acting on these players waits.
    bool MustWait(const CCommand &cmd, unsigned nPlayers) const;
    // For an open: whether an open of these players that arrived later was already taken.
    bool IsOutrun(const CCommand &cmd, unsigned nPlayers) const;
    // An open of these players that arrived then was taken (held or run): what was held for
    // them alone is moot.
    void Opened(unsigned nPlayers, int64_t nArrivedNs);
    // A held open or seek makes moot what it takes the place of (see above).
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

    std::array<int, 2> m_nOpening{};          // opens under way per player (a moot one ends later)
    std::array<int64_t, 2> m_nNewestOpenNs{}; // arrival of the newest open taken per player
    std::deque<Held> m_held;
};
