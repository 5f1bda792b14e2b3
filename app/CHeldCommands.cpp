#include "app/CHeldCommands.h"

unsigned CHeldCommands::Opening() const {
    return (m_nOpening[0] > 0 ? Bit(0) : 0) | (m_nOpening[1] > 0 ? Bit(1) : 0);
}

bool CHeldCommands::MustWait(unsigned nPlayers) const {
    if (nPlayers & Opening())
        return true;
    for (const Held &held : m_held)
        if (held.nPlayers & nPlayers)
            return true;
    return false;
}

void CHeldCommands::Hold(Held held) {
    if (held.cmd.action == CCommand::Action::Open) {
        for (auto it = m_held.rbegin(); it != m_held.rend(); ++it) {
            if (!(it->nPlayers & held.nPlayers))
                continue;
            if (it->cmd.action == CCommand::Action::Open && it->nPlayers == held.nPlayers)
                it->bReplaced = true;
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
