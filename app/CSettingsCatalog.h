// Every section of the settings as the program reads them, from the readers' own tables
// (core/CSettingKey): what Preferences builds its pages from and --print-settings prints.
//
// Adding a section: describe its keys in a table beside the code that reads them (a static
// Keys() returning std::vector<CSettingKey>: key, kind, default, meaning, takes effect, range or
// choices, the reader's logbook words for a bad value), read each value through its key
// (ReadInt, ReadChoice, or the key's Problems for a text), and add the table to Tables() in
// CSettingsCatalog.cpp. Preferences then shows a page for it, --print-settings prints it, and
// the page test checks its bad values against the reader. List the keys in the README.
#pragma once

#include "core/CSettingKey.h"

#include <QString>
#include <vector>

class CProfile;

class CSettingsCatalog {
public:
    struct Section {
        QString strName;
        std::vector<const CSettingKey *> keys;
        // Whether Preferences has a page of keys for it (not General, which has its own, nor
        // what the program keeps itself).
        bool bHasPage = false;
    };
    // In the order the README and --print-settings list them.
    static const std::vector<Section> &Sections();

    // An INI a user can copy: each key with the value in force, its default and meaning in a
    // comment above it. Secrets are only said to be set. strSource names the file read.
    static QString PrintSettings(CProfile &profile, const QString &strSource);
};
