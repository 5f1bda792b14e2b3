#include "core/CTransitionSettings.h"

#include "core/CLogBook.h"
#include "core/CProfile.h"

namespace {
constexpr const char *kSection = "Transition";
} // namespace

const std::vector<CSettingKey> &CTransitionSettings::Keys() {
    static const std::vector<CSettingKey> keys = {
        {kSection, "Kind", CSettingKey::CHOICE, "cut",
         "how the shown player changes: cut, dissolve, black (through black) or wipe",
         CSettingKey::NEXT_START, 0, 0, "cut|dissolve|black|wipe",
         "CTransitionSettings::Read(): Invalid Kind \"%1\", using %2."},
        {kSection, "Duration", CSettingKey::INT, "1000",
         "a transition's length in milliseconds (0 is a cut)", CSettingKey::NEXT_START, 0,
         CTransition::MAX_DURATION_MS, nullptr,
         "CTransitionSettings::Read(): Invalid Duration %1, using %2."},
        {kSection, "Steps", CSettingKey::INT, "0",
         "1: the play modes' own steps blend too where they change the shown player",
         CSettingKey::NEXT_START, 0, 1, nullptr,
         "CTransitionSettings::Read(): Invalid Steps %1, using %2."},
    };
    return keys;
}

void CTransitionSettings::Read() {
    m_transition = CTransition();
    CTransition::KindOf(CSettingKey::Find(Keys(), "Kind").ReadChoice(m_profile), m_transition.kind);
    m_transition.nDurationMs = CSettingKey::Find(Keys(), "Duration").ReadInt(m_profile);
    m_bSteps = CSettingKey::Find(Keys(), "Steps").ReadInt(m_profile) == 1;
}

void CTransitionSettings::Write() {
    m_profile.WriteProfileString(kSection, "Kind", CTransition::NameOf(m_transition.kind));
    m_profile.WriteProfileInt(kSection, "Duration", m_transition.nDurationMs);
    m_profile.WriteProfileInt(kSection, "Steps", m_bSteps ? 1 : 0);
}
