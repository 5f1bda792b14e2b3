#include "core/CTransition.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

namespace {

constexpr const char *kNames[] = {"cut", "dissolve", "black", "wipe"};

// Equal power: the two gains' squares add up to one all the way through.
double FadeOut(double t) {
    return std::cos(t * std::numbers::pi / 2.0);
}
double FadeIn(double t) {
    return std::sin(t * std::numbers::pi / 2.0);
}

} // namespace

CTransition::Levels CTransition::At(double dProgress) const {
    const double t = IsCut() ? 1.0 : std::clamp(dProgress, 0.0, 1.0);
    Levels levels;
    switch (kind) {
    case Kind::Cut:
        levels.dOldOpacity = t < 1.0 ? 1.0 : 0.0;
        levels.dNewOpacity = t < 1.0 ? 0.0 : 1.0;
        levels.dOldGain = t < 1.0 ? 1.0 : 0.0;
        levels.dNewGain = t < 1.0 ? 0.0 : 1.0;
        break;
    case Kind::Dissolve:
        // The new picture over the old one: the blend is (1 - t) old + t new.
        levels.dOldOpacity = t < 1.0 ? 1.0 : 0.0;
        levels.dNewOpacity = t;
        levels.dOldGain = FadeOut(t);
        levels.dNewGain = FadeIn(t);
        break;
    case Kind::Black: {
        // The first half takes the old one down to black and silence, the second brings the
        // new one up.
        const double dDown = std::min(1.0, 2.0 * t), dUp = std::max(0.0, 2.0 * t - 1.0);
        levels.dOldOpacity = 1.0 - dDown;
        levels.dNewOpacity = dUp;
        levels.dOldGain = FadeOut(dDown);
        levels.dNewGain = FadeIn(dUp);
        break;
    }
    case Kind::Wipe:
        levels.dOldOpacity = t < 1.0 ? 1.0 : 0.0;
        levels.dNewOpacity = 1.0;
        // The edge starts left of the picture with its soft band and leaves it on the right.
        levels.dWipeEdge = t < 1.0 ? t * (1.0 + WIPE_SOFTNESS) : -1.0;
        levels.dOldGain = FadeOut(t);
        levels.dNewGain = FadeIn(t);
        break;
    }
    return levels;
}

const char *CTransition::NameOf(Kind kind) {
    return kNames[static_cast<int>(kind)];
}

bool CTransition::KindOf(const QString &strName, Kind &kind) {
    const QString strKind = strName.trimmed().toLower();
    for (size_t i = 0; i < std::size(kNames); ++i) {
        if (strKind == QLatin1String(kNames[i])) {
            kind = static_cast<Kind>(i);
            return true;
        }
    }
    return false;
}
