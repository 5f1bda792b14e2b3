#include "core/CSettingKey.h"

#include "core/CLogBook.h"
#include "core/CProfile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
// The store's reading of a number: a 32-bit value as the registry would hand it back.
bool ParseInt(const QString &strValue, int *pnValue) {
    bool bOk = false;
    const qlonglong n = strValue.trimmed().toLongLong(&bOk);
    if (bOk)
        *pnValue = static_cast<int>(static_cast<quint32>(n));
    return bOk;
}

// A stored text that no value can take, to tell "nothing stored" from any stored value.
const QString kAbsent = QStringLiteral("\x01absent\x01");
} // namespace

int CSettingKey::DefaultInt() const {
    return QString::fromLatin1(pszDefault).toInt();
}

QStringList CSettingKey::Problems(const QString &strValue) const {
    switch (kind) {
    case INT: {
        int n = 0;
        if (!ParseInt(strValue, &n))
            return {QStringLiteral("[%1] %2=\"%3\" is no number; %4 is used.")
                        .arg(pszSection, pszKey, strValue, pszDefault)};
        if (n >= nMin && n <= nMax)
            return {};
        const int nUsed = bClamp ? std::clamp(n, nMin, nMax) : DefaultInt();
        return {QString::fromLatin1(pszBadWords)
                    .arg(QString::number(n), QString::number(nUsed), QString::number(nMin),
                         QString::number(nMax))};
    }
    case CHOICE: {
        const QString strChoice = strValue.trimmed().toLower();
        if (QString::fromLatin1(pszChoices).split('|').contains(strChoice))
            return {};
        return {QString::fromLatin1(pszBadWords).arg(strChoice, pszDefault)};
    }
    case TEXT:
        return pfnCheck ? pfnCheck(strValue) : QStringList();
    case BOOL:
    case SECRET:
        break;
    }
    return {};
}

QString CSettingKey::InForce(const QString *pstrStored) const {
    if (!pstrStored)
        return QString::fromLatin1(pszDefault);
    switch (kind) {
    case INT: {
        int n = 0;
        if (!ParseInt(*pstrStored, &n))
            return QString::fromLatin1(pszDefault);
        if (n >= nMin && n <= nMax)
            return QString::number(n);
        return bClamp ? QString::number(std::clamp(n, nMin, nMax))
                      : QString::fromLatin1(pszDefault);
    }
    case BOOL: {
        int n = 0;
        return ParseInt(*pstrStored, &n) ? QString::number(n) : QString::fromLatin1(pszDefault);
    }
    case CHOICE:
        return Problems(*pstrStored).isEmpty() ? pstrStored->trimmed().toLower()
                                               : QString::fromLatin1(pszDefault);
    case TEXT:
    case SECRET:
        break;
    }
    return *pstrStored;
}

bool CSettingKey::ReadStored(CProfile &profile, const char *pszSection, const char *pszKey,
                             QString *pstrValue) {
    *pstrValue = profile.GetProfileString(pszSection, pszKey, kAbsent);
    return *pstrValue != kAbsent;
}

int CSettingKey::ReadInt(CProfile &profile) const {
    const int n = profile.GetProfileInt(pszSection, pszKey, DefaultInt());
    const QString strValue = QString::number(n);
    for (const QString &strLine : Problems(strValue))
        LogError("%s\n", strLine.toUtf8().constData());
    return InForce(&strValue).toInt();
}

QString CSettingKey::ReadChoice(CProfile &profile) const {
    const QString strValue = profile.GetProfileString(pszSection, pszKey, pszDefault);
    for (const QString &strLine : Problems(strValue))
        LogError("%s\n", strLine.toUtf8().constData());
    return InForce(&strValue);
}

QString CSettingKey::ReadText(CProfile &profile) const {
    return profile.GetProfileString(pszSection, pszKey, pszDefault);
}

const CSettingKey &CSettingKey::Find(const std::vector<CSettingKey> &keys, const char *pszKey) {
    for (const CSettingKey &key : keys)
        if (std::strcmp(key.pszKey, pszKey) == 0)
            return key;
    std::abort();
}
