// What a change of the shown player looks like: its kind and length, and the picture and sound
// levels of the old and the new player at a point of it. Pure values, so the engine, the
// outputs and the tests share one curve; a cut is a transition of length zero.
#pragma once

#include <QString>

struct CTransition {
    enum class Kind { Cut, Dissolve, Black, Wipe };
    static constexpr int MAX_DURATION_MS = 10000;
    static constexpr int DEFAULT_DURATION_MS = 1000;
    static constexpr double WIPE_SOFTNESS = 0.1;

    // What each player shows and sounds at a point of the transition. A picture's opacity
    // covers what lies below it (the old picture, or black); the new picture is on top. With
    // a wipe the new picture's opacity falls from full at dWipeEdge - WIPE_SOFTNESS to none
    // at dWipeEdge (shares of the picture's width, from its left).
    struct Levels {
        double dOldOpacity = 0.0;
        double dNewOpacity = 1.0;
        double dWipeEdge = -1.0; // below 0: no wipe, the whole picture
        double dOldGain = 0.0;
        double dNewGain = 1.0;
    };

    Kind kind = Kind::Cut;
    int nDurationMs = DEFAULT_DURATION_MS;

    // A cut, or a length of zero, changes at once.
    bool IsCut() const { return kind == Kind::Cut || nDurationMs <= 0; }
    // dProgress runs from 0 (the old player alone) to 1 (the new one alone).
    Levels At(double dProgress) const;

    // "cut", "dissolve", "black" or "wipe", as the settings and OSC name them.
    static const char *NameOf(Kind kind);
    // The kind a name (any case, blanks around) stands for; false for none.
    static bool KindOf(const QString &strName, Kind &kind);
    bool operator==(const CTransition &) const = default;
};
