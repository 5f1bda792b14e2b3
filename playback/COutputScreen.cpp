#include "playback/COutputScreen.h"

#include "core/CLogBook.h"
#include "core/CProfile.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSet>

COutputScreen::COutputScreen(CProfile &profile) : m_profile(profile) {
    m_strChosen = m_profile.GetProfileString("Video", "OutputScreen", QString()).trimmed();
}

QStringList COutputScreen::UniqueNames(const QList<Screen> &screens) {
    QStringList names;
    QSet<QString> taken;
    for (const Screen &screen : screens)
        taken.insert(screen.strName);
    QHash<QString, int> seen;
    for (int i = 0; i < screens.size(); ++i) {
        // An empty name would read as "the primary screen" in the settings.
        const QString strBase =
            screens[i].strName.isEmpty() ? QString("Screen %1").arg(i + 1) : screens[i].strName;
        const int nSeen = ++seen[strBase];
        QString strName = strBase;
        for (int n = nSeen; n > 1 && (taken.contains(strName) || names.contains(strName)); ++n)
            strName = QString("%1 #%2").arg(strBase).arg(n);
        names << strName;
    }
    return names;
}

void COutputScreen::SetScreens(const QList<Screen> &screens, int nPrimary) {
    m_screens = screens;
    m_names = UniqueNames(screens);
    m_nPrimary = nPrimary >= 0 && nPrimary < screens.size() ? nPrimary : -1;
    if (m_strChosen.isEmpty()) {
        m_bFallingBack = false;
        return;
    }
    const bool bPresent = IndexOf(m_strChosen) >= 0;
    if (!bPresent && !m_bFallingBack) {
        m_bFallingBack = true;
        LogError("COutputScreen::SetScreens(): Screen \"%s\" is not connected; full-screen "
                 "output goes to the primary screen \"%s\".\n",
                 qUtf8Printable(m_strChosen), qUtf8Printable(Name(m_nPrimary)));
    } else if (bPresent && m_bFallingBack) {
        m_bFallingBack = false;
        LogMsg("COutputScreen::SetScreens(): Screen \"%s\" is back; full-screen output "
               "returns to it.\n",
               qUtf8Printable(m_strChosen));
    }
}

void COutputScreen::ReadSystemScreens() {
    QList<Screen> screens;
    const auto system = QGuiApplication::screens();
    for (const QScreen *pScreen : system)
        screens << Screen{pScreen->name(), pScreen->geometry()};
    SetScreens(screens, int(system.indexOf(QGuiApplication::primaryScreen())));
}

QString COutputScreen::Label(int nIndex) const {
    const QRect geometry = Geometry(nIndex);
    return QString("%1 (%2x%3)").arg(Name(nIndex)).arg(geometry.width()).arg(geometry.height());
}

QRect COutputScreen::Geometry(int nIndex) const {
    return nIndex >= 0 && nIndex < m_screens.size() ? m_screens[nIndex].rcGeometry : QRect();
}

void COutputScreen::Choose(int nIndex) {
    m_strChosen = nIndex >= 0 && nIndex < m_names.size() ? m_names[nIndex] : QString();
    m_bFallingBack = false;
    m_profile.WriteProfileString("Video", "OutputScreen", m_strChosen);
}

int COutputScreen::Current() const {
    const int nChosen = m_strChosen.isEmpty() ? -1 : IndexOf(m_strChosen);
    return nChosen >= 0 ? nChosen : m_nPrimary;
}
