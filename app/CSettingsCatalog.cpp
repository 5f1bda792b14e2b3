#include "app/CSettingsCatalog.h"

#include "app/CSyncController.h"
#include "core/CGeneralSettings.h"
#include "core/CProfile.h"
#include "core/CTransitionSettings.h"
#include "playback/CAudioOutput.h"
#include "playback/CVideoOutput.h"
#include "remote/CServerSettings.h"
#include "remote/CTimecodeSettings.h"

#include <algorithm>
#include <climits>

namespace {
// One table per reader, in the order the sections are listed.
std::vector<const std::vector<CSettingKey> *> Tables() {
    return {&CGeneralSettings::Keys(),       &CServerSettings::NetworkKeys(),
            &CServerSettings::OscKeys(),     &CServerSettings::WebKeys(),
            &CSyncController::Keys(),        &CVideoOutput::Keys(),
            &CAudioOutput::Settings::Keys(), &CTransitionSettings::Keys(),
            &CTimecodeSettings::Keys(),      &CGeneralSettings::KeptKeys()};
}

// Quoted as the settings file's reader takes a text back whole (commas, semicolons).
QString Quoted(const QString &strValue) {
    QString strOut = strValue;
    strOut.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + strOut + '"';
}

QString EffectNote(CSettingKey::Effect effect) {
    switch (effect) {
    case CSettingKey::AT_ONCE:
        return QStringLiteral("takes effect at once");
    case CSettingKey::NEXT_START:
        return QStringLiteral("takes effect at the next start");
    case CSettingKey::KEPT:
        return QStringLiteral("kept by the program");
    }
    return QString();
}
} // namespace

const std::vector<CSettingsCatalog::Section> &CSettingsCatalog::Sections() {
    static const std::vector<Section> sections = [] {
        std::vector<Section> out;
        for (const std::vector<CSettingKey> *pTable : Tables())
            for (const CSettingKey &key : *pTable) {
                auto it = std::find_if(out.begin(), out.end(), [&](const Section &section) {
                    return section.strName == QLatin1String(key.pszSection);
                });
                if (it == out.end())
                    it = out.insert(out.end(),
                                    Section{QString::fromLatin1(key.pszSection), {}, false});
                it->keys.push_back(&key);
                if (key.effect != CSettingKey::KEPT && it->strName != QLatin1String("General"))
                    it->bHasPage = true;
            }
        return out;
    }();
    return sections;
}

QString CSettingsCatalog::PrintSettings(CProfile &profile, const QString &strSource) {
    QString strOut = QStringLiteral("; Tessaro's settings in force, read from %1.\n"
                                    "; Each key has the value the program uses; the comment above "
                                    "it says what it is and its default.\n")
                         .arg(strSource);
    for (const Section &section : Sections()) {
        strOut += QStringLiteral("\n[%1]\n").arg(section.strName);
        for (const CSettingKey *pKey : section.keys) {
            QString strStored;
            const bool bStored =
                CSettingKey::ReadStored(profile, pKey->pszSection, pKey->pszKey, &strStored);
            const QString strDefault = QString::fromLatin1(pKey->pszDefault);
            strOut += QStringLiteral("; %1. Default: %2; %3.\n")
                          .arg(QString::fromUtf8(pKey->pszMeaning),
                               strDefault.isEmpty() ? QStringLiteral("empty") : strDefault,
                               EffectNote(pKey->effect));
            if (pKey->kind == CSettingKey::SECRET) {
                strOut += QStringLiteral("; %1 is %2 (not shown)\n")
                              .arg(pKey->pszKey, bStored && !strStored.isEmpty()
                                                     ? QStringLiteral("set")
                                                     : QStringLiteral("not set"));
                continue;
            }
            const QString strValue = pKey->InForce(bStored ? &strStored : nullptr);
            const bool bNumber = pKey->kind == CSettingKey::INT || pKey->kind == CSettingKey::BOOL;
            strOut +=
                QStringLiteral("%1=%2\n").arg(pKey->pszKey, bNumber ? strValue : Quoted(strValue));
        }
    }
    return strOut;
}
