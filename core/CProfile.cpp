#include "core/CProfile.h"

bool CProfile::GetProfileBool(const QString &section, const QString &entry, bool bDefault) {
    return GetProfileInt(section, entry, bDefault ? 1 : 0) != 0;
}

bool CProfile::GetProfileFlag(const QString &section, const QString &entry, bool bDefault) {
    return GetProfileInt(section, entry, bDefault ? 1 : 0) == 1;
}

bool CProfile::WriteProfileBool(const QString &section, const QString &entry, bool bValue) {
    return WriteProfileInt(section, entry, bValue ? 1 : 0);
}
