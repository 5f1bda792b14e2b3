#include "core/CTransitionSettings.h"

#include "core/CLogBook.h"
#include "core/CProfile.h"

namespace {
constexpr const char *kSection = "Transition";
constexpr const char *kOperation = "CTransitionSettings::Read()";
} // namespace

void CTransitionSettings::Read() {
    m_transition = CTransition();
    const QString strKind = m_profile.GetProfileString(kSection, "Kind", "cut");
    if (!CTransition::KindOf(strKind, m_transition.kind))
        LogError("%s: Invalid Kind \"%s\", using cut.\n", kOperation, qPrintable(strKind));
    const int nDuration =
        m_profile.GetProfileInt(kSection, "Duration", CTransition::DEFAULT_DURATION_MS);
    if (nDuration >= 0 && nDuration <= CTransition::MAX_DURATION_MS)
        m_transition.nDurationMs = nDuration;
    else
        LogError("%s: Invalid Duration %d, using %d.\n", kOperation, nDuration,
                 CTransition::DEFAULT_DURATION_MS);
    const int nSteps = m_profile.GetProfileInt(kSection, "Steps", 0);
    if (nSteps != 0 && nSteps != 1)
        LogError("%s: Invalid Steps %d, using 0.\n", kOperation, nSteps);
    m_bSteps = nSteps == 1;
}

void CTransitionSettings::Write() {
    m_profile.WriteProfileString(kSection, "Kind", CTransition::NameOf(m_transition.kind));
    m_profile.WriteProfileInt(kSection, "Duration", m_transition.nDurationMs);
    m_profile.WriteProfileInt(kSection, "Steps", m_bSteps ? 1 : 0);
}
