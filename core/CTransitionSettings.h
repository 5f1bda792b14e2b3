// The settings section "Transition": how the shown player changes (Kind, Duration) and whether
// the play modes' own steps change it that way too (Steps). Read once at start and written
// back when the operator or a controller chooses another kind.
#pragma once

#include "core/CSettingKey.h"
#include "core/CTransition.h"

#include <vector>

class CProfile;

class CTransitionSettings {
public:
    // The defaults; Read takes what the store holds.
    explicit CTransitionSettings(CProfile &profile) : m_profile(profile) {}

    // The section's keys, as Preferences and --print-settings show them.
    static const std::vector<CSettingKey> &Keys();
    // A value out of range keeps its default and says so in the logbook.
    void Read();
    void Write();

    const CTransition &GetTransition() const { return m_transition; }
    void SetTransition(const CTransition &transition) { m_transition = transition; }
    // Playlist steps (auto next, loop) blend too; off, they stay seamless cuts.
    bool GetSteps() const { return m_bSteps; }
    void SetSteps(bool bSteps) { m_bSteps = bSteps; }

private:
    CProfile &m_profile;
    CTransition m_transition;
    bool m_bSteps = false;
};
