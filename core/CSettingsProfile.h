// The settings store of a real run: QSettings("ovak", "Tessaro"), i.e.
// ~/.config/ovak/Tessaro.conf ($XDG_CONFIG_HOME honoured). The file holds the page's password
// hash, so it is kept readable by its owner only (0600), whatever the umask.
#pragma once

#include "core/CProfile.h"

#include <QHash>
#include <QSettings>

class CSettingsProfile : public CProfile {
public:
    CSettingsProfile();
    // A settings file of its own (--settings, tests, tools).
    explicit CSettingsProfile(const QString &strFileName);

    // Larger files are no settings: reading and rewriting them would hold up every write.
    static constexpr qint64 MAX_FILE_SIZE = qint64(1) << 20;
    // Whether strFileName can be a settings file: nothing there yet, or a regular file (also
    // through a link) of at most MAX_FILE_SIZE bytes that can be read. Never blocks on a pipe.
    // Otherwise false, and *pstrReason says why ("not a regular file").
    static bool CanUse(const QString &strFileName, QString *pstrReason);

    int GetProfileInt(const QString &section, const QString &entry, int nDefault) override;
    bool WriteProfileInt(const QString &section, const QString &entry, int nValue) override;
    QString GetProfileString(const QString &section, const QString &entry,
                             const QString &strDefault) override;
    bool WriteProfileString(const QString &section, const QString &entry,
                            const QString &strValue) override;
    bool RemoveProfileEntry(const QString &section, const QString &entry) override;

    // The file the settings live in; the logbook file stands next to it.
    QString GetFileName() const { return m_settings.fileName(); }

    // A value that holds for this run only (a command-line choice): read in place of the stored
    // one and never written, until the program itself writes that value.
    void SetRunValue(const QString &section, const QString &entry, const QString &strValue);

private:
    QVariant Value(const QString &section, const QString &entry) const;
    // value null: the entry goes.
    bool Write(const QString &section, const QString &entry, const QVariant &value);
    bool Sync();

    QSettings m_settings;
    QHash<QString, QString> m_runValues;
    bool m_bRefused = false;
};
