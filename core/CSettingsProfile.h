// The settings store of a real run: QSettings("ovak", "Tessaro"), i.e.
// ~/.config/ovak/Tessaro.conf ($XDG_CONFIG_HOME honoured).
#pragma once

#include "core/CProfile.h"

#include <QHash>
#include <QSettings>

class CSettingsProfile : public CProfile {
public:
    CSettingsProfile();
    // For tests and tools that want a settings file of their own.
    explicit CSettingsProfile(const QString &strFileName);

    int GetProfileInt(const QString &section, const QString &entry, int nDefault) override;
    bool WriteProfileInt(const QString &section, const QString &entry, int nValue) override;
    QString GetProfileString(const QString &section, const QString &entry,
                             const QString &strDefault) override;
    bool WriteProfileString(const QString &section, const QString &entry,
                            const QString &strValue) override;

    // A value that holds for this run only (a command-line choice): read in place of the stored
    // one and never written, until the program itself writes that value.
    void SetRunValue(const QString &section, const QString &entry, const QString &strValue);

private:
    QVariant Value(const QString &section, const QString &entry) const;
    bool Write(const QString &section, const QString &entry, const QVariant &value);

    QSettings m_settings;
    QHash<QString, QString> m_runValues;
};
