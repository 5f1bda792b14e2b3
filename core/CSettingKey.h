// One setting as the program reads it: section, key, kind, range or choices, default, when a
// change takes effect, what it means, and the logbook words for a bad value. The reader of a
// setting reads it through its description, and Preferences and --print-settings check and show
// it through the same, so the three cannot differ. Each reader keeps the table of its own
// section beside it (CGeneralSettings::Keys, CServerSettings::Keys, ...); app/CSettingsCatalog
// lists the tables.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class CProfile;

struct CSettingKey {
    enum Kind {
        INT,    // a whole number within nMin..nMax
        BOOL,   // 0 or 1
        TEXT,   // any text; pfnCheck says what is wrong with it, if it can be wrong
        CHOICE, // one of pszChoices ("off|leader|follower"), read trimmed and in lower case
        SECRET, // a text never shown (a password, a key); Preferences only sets it
    };
    enum Effect {
        AT_ONCE,    // Preferences applies it when it closes with OK
        NEXT_START, // read once, at start-up
        KEPT,       // the program keeps it itself (the playlist's row, the volume); no page
    };

    const char *pszSection;
    const char *pszKey;
    Kind kind;
    const char *pszDefault;
    const char *pszMeaning;
    Effect effect = NEXT_START;
    int nMin = 0, nMax = 0;
    const char *pszChoices = nullptr;
    // The reader's logbook line for a bad INT or CHOICE, without "\n": %1 the value read, %2
    // the value used instead, %3 and %4 the bounds.
    const char *pszBadWords = nullptr;
    // A value out of range is brought to the nearer bound instead of the default.
    bool bClamp = false;
    // A TEXT's own check: the reader's logbook lines for the value, none when it is good.
    QStringList (*pfnCheck)(const QString &strValue) = nullptr;

    // What the reader writes to the logbook for the value, one entry a line, without "\n";
    // empty for a good value. An INT that is no number reads as the default, as the store does.
    QStringList Problems(const QString &strValue) const;
    // The value the program uses for a stored one (nullptr: nothing stored).
    QString InForce(const QString *pstrStored) const;
    int DefaultInt() const;

    // The readers' way in: the value used, its problems written to the logbook as errors.
    int ReadInt(CProfile &profile) const;
    QString ReadChoice(CProfile &profile) const;
    QString ReadText(CProfile &profile) const;
    // The stored text, or nullptr-like empty optional: whether anything is stored at all.
    static bool ReadStored(CProfile &profile, const char *pszSection, const char *pszKey,
                           QString *pstrValue);

    // The key of that section and name in a table; dies loudly in a test, never in a run:
    // a reader asks only for its own keys.
    static const CSettingKey &Find(const std::vector<CSettingKey> &keys, const char *pszKey);
};
