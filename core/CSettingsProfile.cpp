#include "core/CSettingsProfile.h"

CSettingsProfile::CSettingsProfile() : m_settings("ovak", "Tessaro") {}

CSettingsProfile::CSettingsProfile(const QString &strFileName)
    : m_settings(strFileName, QSettings::NativeFormat) {}

QString CSettingsProfile::Key(const QString &section, const QString &entry) const {
    return section + "/" + entry;
}

int CSettingsProfile::GetProfileInt(const QString &section, const QString &entry, int nDefault) {
    const QVariant v = m_settings.value(Key(section, entry));
    if (!v.isValid())
        return nDefault;
    // A hand-edited value that is not a number reads as missing, as a registry value of the
    // wrong type would.
    bool bOk = false;
    const qlonglong n = v.toLongLong(&bOk);
    if (!bOk)
        return nDefault;
    // Stored as a 32-bit DWORD: anything wider wraps as the registry would hand it back.
    return static_cast<int>(static_cast<quint32>(n));
}

bool CSettingsProfile::WriteProfileInt(const QString &section, const QString &entry, int nValue) {
    m_settings.setValue(Key(section, entry), nValue);
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}

QString CSettingsProfile::GetProfileString(const QString &section, const QString &entry,
                                           const QString &strDefault) {
    const QVariant v = m_settings.value(Key(section, entry));
    if (!v.isValid())
        return strDefault;
    // The INI reader splits an unquoted value at its commas; a list the user typed must come
    // back as the text it was, never as an empty string.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(", ");
    return v.toString();
}

bool CSettingsProfile::WriteProfileString(const QString &section, const QString &entry,
                                          const QString &strValue) {
    m_settings.setValue(Key(section, entry), strValue);
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}
