// What a feedback channel that tells only changes has told: the show's state as last told, and
// per field whether the state now differs from it. Before anything was told (or after Reset)
// every field counts as changed, so a new listener hears everything once.
#pragma once

#include "core/CShowState.h"

class CToldState {
public:
    template <class T> bool Changed(const CShowState &now, T CShowState::*pField) const {
        return !m_bKnown || now.*pField != m_last.*pField;
    }
    template <class T>
    bool Changed(const CShowState &now, int nPlayer, T CShowState::Player::*pField) const {
        return !m_bKnown || now.players[nPlayer].*pField != m_last.players[nPlayer].*pField;
    }
    // Whether a player's position (and remaining time) is to be told: a playing one keeps to
    // the feedback tick, as it changes all the time; a standing one goes as soon as it moves (a
    // seek); any one goes with a change of its state.
    bool PositionDue(const CShowState &now, int nPlayer, bool bTick) const {
        const CShowState::Player &is = now.players[nPlayer];
        const CShowState::Player &was = m_last.players[nPlayer];
        if (!m_bKnown || is.nState != was.nState)
            return true;
        if (is.nState == 2)
            return bTick;
        return is.nPosition != was.nPosition || is.Remaining() != was.Remaining();
    }
    bool IsKnown() const { return m_bKnown; }
    const CShowState &Last() const { return m_last; }
    void Told(const CShowState &now) {
        m_last = now;
        m_bKnown = true;
    }
    void Reset() { m_bKnown = false; }

private:
    CShowState m_last;
    bool m_bKnown = false;
};
