// Per-user key-value store of the program's settings, addressed by section and value name.
#pragma once

#include <QString>

class CProfile {
public:
    virtual ~CProfile() = default;

    virtual int GetProfileInt(const QString &section, const QString &entry, int nDefault) = 0;
    virtual bool WriteProfileInt(const QString &section, const QString &entry, int nValue) = 0;
    virtual QString GetProfileString(const QString &section, const QString &entry,
                                     const QString &strDefault) = 0;
    virtual bool WriteProfileString(const QString &section, const QString &entry,
                                    const QString &strValue) = 0;
    // Takes the value out of the store, so that it no longer shows in it.
    virtual bool RemoveProfileEntry(const QString &section, const QString &entry) = 0;

    // The General section counts any non-zero number as true.
    bool GetProfileBool(const QString &section, const QString &entry, bool bDefault);
    // The Playlist section counts only a stored 1 as true; 2 is false there.
    bool GetProfileFlag(const QString &section, const QString &entry, bool bDefault);
    bool WriteProfileBool(const QString &section, const QString &entry, bool bValue);
};
