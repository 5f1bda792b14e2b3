#include "support/CMemoryProfile.h"

static QString Key(const QString &section, const QString &entry) {
    return section + "/" + entry;
}

int CMemoryProfile::GetProfileInt(const QString &section, const QString &entry, int nDefault) {
    const auto it = m_values.constFind(Key(section, entry));
    return it == m_values.cend() ? nDefault : it->toInt();
}

bool CMemoryProfile::WriteProfileInt(const QString &section, const QString &entry, int nValue) {
    m_values[Key(section, entry)] = nValue;
    m_writes << Key(section, entry);
    return true;
}

QString CMemoryProfile::GetProfileString(const QString &section, const QString &entry,
                                         const QString &strDefault) {
    const auto it = m_values.constFind(Key(section, entry));
    return it == m_values.cend() ? strDefault : it->toString();
}

bool CMemoryProfile::WriteProfileString(const QString &section, const QString &entry,
                                        const QString &strValue) {
    m_values[Key(section, entry)] = strValue;
    m_writes << Key(section, entry);
    return true;
}

bool CMemoryProfile::Has(const QString &section, const QString &entry) const {
    return m_values.contains(Key(section, entry));
}

QVariant CMemoryProfile::Value(const QString &section, const QString &entry) const {
    return m_values.value(Key(section, entry));
}

bool CMemoryProfile::RemoveProfileEntry(const QString &section, const QString &entry) {
    m_values.remove(Key(section, entry));
    m_writes << Key(section, entry);
    return true;
}
