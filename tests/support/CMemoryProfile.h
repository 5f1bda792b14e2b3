// In-memory settings store for tests; remembers what was written and in which order.
#pragma once

#include "core/CProfile.h"

#include <QMap>
#include <QStringList>
#include <QVariant>

class CMemoryProfile : public CProfile {
public:
    int GetProfileInt(const QString &section, const QString &entry, int nDefault) override;
    bool WriteProfileInt(const QString &section, const QString &entry, int nValue) override;
    QString GetProfileString(const QString &section, const QString &entry,
                             const QString &strDefault) override;
    bool WriteProfileString(const QString &section, const QString &entry,
                            const QString &strValue) override;
    bool RemoveProfileEntry(const QString &section, const QString &entry) override;

    bool Has(const QString &section, const QString &entry) const;
    QVariant Value(const QString &section, const QString &entry) const;

    QMap<QString, QVariant> m_values; // "Section/Entry" -> int or QString
    QStringList m_writes;             // "Section/Entry" in write order
};
