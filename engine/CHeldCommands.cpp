#include "engine/CHeldCommands.h"

#include "core/CInputPolicy.h"

#include <algorithm>

namespace {
// A seek of a player a controller named: a newer one held after it takes its place.
bool IsNamedSeek(const CCommand &cmd) {
    const CCommand::Seek *pSeek = cmd.As<CCommand::Seek>();
    return pSeek && !pSeek->player.bActive;
}
} // namespace

unsigned CHeldCommands::Opening() const {
    return (m_nOpening[0] > 0 ? Bit(0) : 0) | (m_nOpening[1] > 0 ? Bit(1) : 0);
}

bool CHeldCommands::MustWait(const CCommand &cmd, unsigned nPlayers) const {
    if (!CInputPolicy::For(cmd.origin).bWaitsForOpens)
        return false;
    if (nPlayers & Opening())
        return true;
    for (const Held &held : m_held)
        if (held.nPlayers & nPlayers)
            return true;
    return false;
}

bool CHeldCommands::IsOutrun(const CCommand &cmd, unsigned nPlayers) const {
    for (int i = 0; i < 2; ++i)
        if ((nPlayers & Bit(i)) && cmd.nArrivedNs < m_nNewestOpenNs[i])
            return true;
    return false;
}

void CHeldCommands::Opened(unsigned nPlayers, int64_t nArrivedNs) {
    for (int i = 0; i < 2; ++i)
        if (nPlayers & Bit(i))
            m_nNewestOpenNs[i] = std::max(m_nNewestOpenNs[i], nArrivedNs);
    if (nPlayers == 0)
        return;
    for (Held &held : m_held)
        if (held.nPlayers != 0 && (held.nPlayers & ~nPlayers) == 0)
            held.bMoot = true;
}

void CHeldCommands::Hold(Held held) {
    if (held.cmd.IsOpen()) {
        Opened(held.nPlayers, held.cmd.nArrivedNs);
    } else if (IsNamedSeek(held.cmd)) {
        for (auto it = m_held.rbegin(); it != m_held.rend(); ++it) {
            if (!(it->nPlayers & held.nPlayers))
                continue;
            if (IsNamedSeek(it->cmd) && it->nPlayers == held.nPlayers)
                it->bMoot = true;
            break;
        }
    }
    m_held.push_back(std::move(held));
}

void CHeldCommands::OpenBegan(unsigned nPlayers) {
    for (int i = 0; i < 2; ++i)
        if (nPlayers & Bit(i))
            ++m_nOpening[i];
}

void CHeldCommands::OpenEnded(unsigned nPlayers) {
    for (int i = 0; i < 2; ++i)
        if ((nPlayers & Bit(i)) && m_nOpening[i] > 0)
            --m_nOpening[i];
}

std::optional<CHeldCommands::Held> CHeldCommands::TakeNext() {
    unsigned nBlocked = Opening();
    for (auto it = m_held.begin(); it != m_held.end(); ++it) {
        if (!(it->nPlayers & nBlocked)) {
            Held held = std::move(*it);
            m_held.erase(it);
            return held;
        }
        nBlocked |= it->nPlayers;
    }
    return std::nullopt;
}
